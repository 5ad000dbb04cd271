package touchline.host.robot;

/** An overlay drawn over the court for a strategy, shown from the step it is added in. */
public abstract class View {
    private volatile long showTime;
    private volatile int color;

    /** How many steps the view stays on screen; negative: for good. */
    public void setShowTime(long showTime) {
        this.showTime = showTime;
    }

    /** 0xRRGGBB. */
    public void setColor(int color) {
        this.color = color;
    }

    public long getShowTime() {
        return showTime;
    }

    public int getColor() {
        return color;
    }
}
