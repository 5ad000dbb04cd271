package touchline.host.physics;

import java.util.List;

/**
 * What one step brought: every robot's occurrences (by robot index, in a fixed order), the goal
 * scored in it if any, whether it was a kick-off step, and whether the round ended in it for a
 * stalled ball.
 */
public record StepReport(List<List<Occurrence>> occurrences, Goal goal, boolean kickOff,
        boolean stalemate) {
    /** Whether the round ended in this step, by a goal or a stalled ball. */
    public boolean roundFinished() {
        return goal != null || stalemate;
    }

    public List<Occurrence> of(int robot) {
        return occurrences.get(robot);
    }
}
