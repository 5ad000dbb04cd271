package touchline.host.robot;

/** A line from (beginX, beginY) to (endX, endY), court frame. */
public final class LineView extends View {
    private volatile double beginX;
    private volatile double beginY;
    private volatile double endX;
    private volatile double endY;

    public void setBeginX(double value) {
        beginX = value;
    }

    public void setBeginY(double value) {
        beginY = value;
    }

    public void setEndX(double value) {
        endX = value;
    }

    public void setEndY(double value) {
        endY = value;
    }

    public double getBeginX() {
        return beginX;
    }

    public double getBeginY() {
        return beginY;
    }

    public double getEndX() {
        return endX;
    }

    public double getEndY() {
        return endY;
    }
}
