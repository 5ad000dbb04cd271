package touchline.host.physics;

import java.util.List;

/**
 * What one step brought: every robot's occurrences (by robot index, in a fixed order), the goal
 * scored in it if any, and whether it was a kick-off step.
 */
public record StepReport(List<List<Occurrence>> occurrences, Goal goal, boolean kickOff) {
    public List<Occurrence> of(int robot) {
        return occurrences.get(robot);
    }
}
