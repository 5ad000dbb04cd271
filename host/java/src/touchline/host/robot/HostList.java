package touchline.host.robot;

import java.util.AbstractList;
import java.util.Arrays;
import java.util.List;
import java.util.RandomAccess;

/**
 * The read-only list the host hands to strategies: "size" and "get" are all a strategy calls,
 * and a fixed array makes both safe to call from any robot's thread.
 */
public final class HostList<E> extends AbstractList<E> implements RandomAccess {
    private static final HostList<?> EMPTY = new HostList<>(new Object[0]);
    private final Object[] elements;

    private HostList(Object[] elements) {
        this.elements = elements;
    }

    public static <E> HostList<E> copyOf(List<? extends E> elements) {
        return new HostList<>(elements.toArray());
    }

    @SafeVarargs
    public static <E> HostList<E> of(E... elements) {
        return new HostList<>(Arrays.copyOf(elements, elements.length, Object[].class));
    }

    @SuppressWarnings("unchecked")
    public static <E> HostList<E> empty() {
        return (HostList<E>) EMPTY;
    }

    @Override
    public int size() {
        return elements.length;
    }

    @Override
    @SuppressWarnings("unchecked")
    public E get(int index) {
        return (E) elements[index];
    }
}
