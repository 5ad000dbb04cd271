package touchline.host.robot;

import java.util.ArrayList;
import java.util.List;

/**
 * Collects one robot's printed text and overlay views while it plays a step; "execute" hands
 * them over with the robot's orders. Limits keep a runaway strategy from flooding the match:
 * per step at most MAX_PRINTS prints and MAX_VIEWS views are kept, a print keeps its first
 * MAX_PRINT_CHARS characters; what is over is dropped and counted.
 */
public final class DebugConsole {
    public static final int MAX_PRINTS = 64;
    public static final int MAX_PRINT_CHARS = 4096;
    public static final int MAX_VIEWS = 512;

    /**
     * What a robot printed and drew while it looked at one step, and how many prints (dropped
     * or cut) and views (dropped) went over the limits.
     */
    public record Output(List<String> prints, List<View> views, int droppedPrints,
            int droppedViews) {
        public static final Output EMPTY = new Output(List.of(), List.of(), 0, 0);

        public boolean isEmpty() {
            return prints.isEmpty() && views.isEmpty() && droppedPrints == 0 && droppedViews == 0;
        }
    }

    private List<String> prints = new ArrayList<>();
    private List<View> views = new ArrayList<>();
    private int droppedPrints;
    private int droppedViews;

    public synchronized void print(String text) {
        if (text == null) return;
        if (prints.size() >= MAX_PRINTS) {
            droppedPrints++;
            return;
        }
        if (text.length() > MAX_PRINT_CHARS) {
            text = text.substring(0, MAX_PRINT_CHARS);
            droppedPrints++;
        }
        prints.add(text);
    }

    public Object createLineView() {
        return new LineView();
    }

    public Object createTextView() {
        return new TextView();
    }

    public Object createEllipseView() {
        return new EllipseView();
    }

    public Object createRectangleView() {
        return new RectangleView();
    }

    /** Shows a view made by one of the create methods; anything else is ignored. */
    public synchronized void addView(Object view) {
        if (!(view instanceof View)) return;
        if (views.size() >= MAX_VIEWS) {
            droppedViews++;
            return;
        }
        views.add((View) view);
    }

    /** The output of the step so far, without taking it. */
    public synchronized List<String> pendingPrints() {
        return List.copyOf(prints);
    }

    /** Hands over the step's output and starts collecting the next step's. */
    public synchronized Output take() {
        if (prints.isEmpty() && views.isEmpty() && droppedPrints == 0 && droppedViews == 0) {
            return Output.EMPTY;
        }
        Output output = new Output(prints, views, droppedPrints, droppedViews);
        prints = new ArrayList<>();
        views = new ArrayList<>();
        droppedPrints = 0;
        droppedViews = 0;
        return output;
    }
}
