package touchline.host.robot;

/** An ellipse centred on (locationX, locationY), court frame. */
public final class EllipseView extends View {
    private volatile double xRadius;
    private volatile double yRadius;
    private volatile boolean fill;
    private volatile double locationX;
    private volatile double locationY;

    public void setXRadius(double value) {
        xRadius = value;
    }

    public void setYRadius(double value) {
        yRadius = value;
    }

    public void setFill(boolean value) {
        fill = value;
    }

    public void setLocationX(double value) {
        locationX = value;
    }

    public void setLocationY(double value) {
        locationY = value;
    }

    public double getXRadius() {
        return xRadius;
    }

    public double getYRadius() {
        return yRadius;
    }

    public boolean isFill() {
        return fill;
    }

    public double getLocationX() {
        return locationX;
    }

    public double getLocationY() {
        return locationY;
    }
}
