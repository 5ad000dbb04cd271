package touchline.host.physics;

/**
 * A goal: the step it was scored in, the team it counts for, and the robot that touched the
 * ball last (-1 if none did since the kick-off); ownGoal when that robot plays for the other
 * team.
 */
public record Goal(long step, int team, int scorer, boolean ownGoal) {}
