package touchline.host.robot;

/** The court's geometry, fixed for a match; lengths in court units. */
public final class Court {
    private final double width;
    private final double height;
    private final double goalWidth;
    private final double goalDepth;
    private final double cornerWidth;
    private final double cornerHeight;

    public Court(double width, double height, double goalWidth, double goalDepth,
            double cornerWidth, double cornerHeight) {
        this.width = width;
        this.height = height;
        this.goalWidth = goalWidth;
        this.goalDepth = goalDepth;
        this.cornerWidth = cornerWidth;
        this.cornerHeight = cornerHeight;
    }

    public double getWidth() {
        return width;
    }

    public double getHeight() {
        return height;
    }

    public double getGoalWidth() {
        return goalWidth;
    }

    public double getGoalDepth() {
        return goalDepth;
    }

    public double getCornerWidth() {
        return cornerWidth;
    }

    public double getCornerHeight() {
        return cornerHeight;
    }
}
