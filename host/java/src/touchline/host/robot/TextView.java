package touchline.host.robot;

/** A text whose baseline starts at (locationX, locationY), court frame; size in court units. */
public final class TextView extends View {
    private volatile String text = "";
    private volatile int size;
    private volatile double locationX;
    private volatile double locationY;

    public void setText(String value) {
        text = value == null ? "" : value;
    }

    public void setSize(int value) {
        size = value;
    }

    public void setLocationX(double value) {
        locationX = value;
    }

    public void setLocationY(double value) {
        locationY = value;
    }

    public String getText() {
        return text;
    }

    public int getSize() {
        return size;
    }

    public double getLocationX() {
        return locationX;
    }

    public double getLocationY() {
        return locationY;
    }
}
