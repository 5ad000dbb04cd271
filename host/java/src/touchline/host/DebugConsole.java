package touchline.host;

import java.util.ArrayList;
import java.util.List;
import java.util.function.LongSupplier;

/** Keeps one robot's printed text and overlay views, each with the step it was given in. */
public final class DebugConsole {
    /** Text printed during the step at time. */
    public record Print(long time, String text) {}

    /** A view added during the step at time. */
    public record Drawing(long time, View view) {}

    private final LongSupplier clock;
    private final List<Print> prints = new ArrayList<>();
    private final List<Drawing> drawings = new ArrayList<>();

    DebugConsole(LongSupplier clock) {
        this.clock = clock;
    }

    public void print(String text) {
        if (text == null) return;
        Print print = new Print(clock.getAsLong(), text);
        synchronized (this) {
            prints.add(print);
        }
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
    public void addView(Object view) {
        if (!(view instanceof View)) return;
        Drawing drawing = new Drawing(clock.getAsLong(), (View) view);
        synchronized (this) {
            drawings.add(drawing);
        }
    }

    public synchronized List<Print> prints() {
        return List.copyOf(prints);
    }

    public synchronized List<Drawing> drawings() {
        return List.copyOf(drawings);
    }

    /** The texts printed during the step at time, in order. */
    public synchronized List<String> printsAt(long time) {
        List<String> texts = new ArrayList<>();
        for (Print print : prints) {
            if (print.time() == time) texts.add(print.text());
        }
        return texts;
    }
}
