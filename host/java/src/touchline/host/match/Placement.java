package touchline.host.match;

import java.util.List;

/**
 * Where a match starts instead of the kick-off places: the ball's position and roll, and each
 * robot's position and heading. Later kick-offs use the usual places.
 */
public record Placement(double ballX, double ballY, double ballHeading, double ballSpeed,
        List<Robot> robots) {
    /** A robot by id; it stands still until its strategy orders otherwise. */
    public record Robot(int id, double x, double y, double heading) {}

    public Placement {
        robots = List.copyOf(robots);
    }
}
