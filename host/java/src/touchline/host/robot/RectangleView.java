package touchline.host.robot;

/** A rectangle whose lower-left corner is (locationX, locationY), court frame. */
public final class RectangleView extends View {
    private volatile double width;
    private volatile double height;
    private volatile boolean fill;
    private volatile double locationX;
    private volatile double locationY;

    public void setWidth(double value) {
        width = value;
    }

    public void setHeight(double value) {
        height = value;
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

    public double getWidth() {
        return width;
    }

    public double getHeight() {
        return height;
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
