package touchline.host.physics;

/**
 * A goal: the step it was scored in, the team it counts for, and its scorer: the robot of that
 * team that touched the ball last since the kick-off, or else the other team's last toucher
 * (ownGoal), or -1 if no robot touched the ball.
 */
public record Goal(long step, int team, int scorer, boolean ownGoal) {}
