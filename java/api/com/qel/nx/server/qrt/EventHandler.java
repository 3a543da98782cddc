package com.qel.nx.server.qrt;

import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.CopyOnWriteArrayList;

/**
 * Delivers events, keyed by a text, to the listeners registered for that key. The
 * native alarm library sends alarm-log events and batches through
 * {@link #sendEvent(String, Object)}.
 *
 * <p>Thread-safe: events may arrive on any thread while others add or remove
 * listeners. A listener sees each event once, in registration order, on the
 * sender's thread; a listener added or removed during a delivery may or may not
 * see that event. A listener's exception is reported on standard error and does
 * not reach the sender or the other listeners.
 */
public final class EventHandler {
    private static final Map<String, List<EventListener>> LISTENERS = new ConcurrentHashMap<>();

    private EventHandler() {
    }

    /**
     * Registers a listener for a key. Adding a listener that is already registered
     * for the key has no effect.
     *
     * @param key the key
     * @param listener the listener
     * @throws NullPointerException if an argument is null
     */
    public static void addListener(String key, EventListener listener) {
        Objects.requireNonNull(key, "key");
        Objects.requireNonNull(listener, "listener");
        LISTENERS.compute(key, (k, list) -> {
            List<EventListener> l = list != null ? list : new CopyOnWriteArrayList<>();
            if (!l.contains(listener)) {
                l.add(listener);
            }
            return l;
        });
    }

    /**
     * Removes a listener for a key.
     *
     * @param key the key
     * @param listener the listener
     * @return true if it was registered
     */
    public static boolean removeListener(String key, EventListener listener) {
        if (key == null || listener == null) {
            return false;
        }
        boolean[] removed = new boolean[1];
        LISTENERS.computeIfPresent(key, (k, list) -> {
            removed[0] = list.remove(listener);
            return list.isEmpty() ? null : list;
        });
        return removed[0];
    }

    /**
     * Sends an event to the listeners of a key. Never throws.
     *
     * @param key the key
     * @param event the event object
     * @return true if at least one listener handled it without throwing
     */
    public static boolean sendEvent(String key, Object event) {
        if (key == null) {
            return false;
        }
        List<EventListener> list = LISTENERS.get(key);
        if (list == null) {
            return false;
        }
        boolean taken = false;
        for (EventListener listener : list) {
            try {
                listener.handle(key, event);
                taken = true;
            } catch (Throwable t) {
                // The sender may be a native call or a platform thread that cannot
                // handle a Java exception; one failing listener must not cost the
                // others their events either.
                System.err.println("EventHandler: listener " + listener + " failed on \"" + key + "\" event:");
                t.printStackTrace();
            }
        }
        return taken;
    }
}
