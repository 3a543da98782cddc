package com.qel.nx.server.qrt;

/** Receives events sent through {@link EventHandler} under one key. */
@FunctionalInterface
public interface EventListener {
    /**
     * Handles one event. Runs on the sender's thread, which may be a platform
     * thread or a thread inside a native call; keep it short.
     *
     * @param key the key the event was sent under
     * @param event the event object
     */
    void handle(String key, Object event);
}
