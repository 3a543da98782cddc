package com.qel.nx.server.qrt;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Test;

/** Keyed delivery, isolation of failing listeners, and use from several threads. */
class EventHandlerTest {
    private static int keys;

    /** The registry is process-wide; a fresh key per test keeps tests apart. */
    private static synchronized String freshKey() {
        return "EventHandlerTest-" + (keys++);
    }

    @Test
    void deliversToListenersOfTheKeyInRegistrationOrder() {
        String key = freshKey();
        String other = freshKey();
        List<String> seen = Collections.synchronizedList(new ArrayList<>());
        EventListener first = (k, e) -> seen.add("first " + k + " " + e);
        EventListener second = (k, e) -> seen.add("second " + k + " " + e);
        EventHandler.addListener(key, first);
        EventHandler.addListener(key, second);
        EventHandler.addListener(key, first);

        assertTrue(EventHandler.sendEvent(key, "x"));
        assertFalse(EventHandler.sendEvent(other, "y"), "no listener for that key");
        assertFalse(EventHandler.sendEvent(null, "z"));
        assertEquals(List.of("first " + key + " x", "second " + key + " x"), seen);

        assertTrue(EventHandler.removeListener(key, first));
        assertFalse(EventHandler.removeListener(key, first));
        seen.clear();
        EventHandler.sendEvent(key, null);
        assertEquals(List.of("second " + key + " null"), seen);
        assertTrue(EventHandler.removeListener(key, second));
        assertFalse(EventHandler.sendEvent(key, "gone"));
    }

    @Test
    void throwingListenerIsReportedAndDoesNotStopTheOthers() {
        String key = freshKey();
        AtomicInteger after = new AtomicInteger();
        EventHandler.addListener(key, (k, e) -> {
            throw new IllegalStateException("listener broke");
        });
        EventHandler.addListener(key, (k, e) -> after.incrementAndGet());

        ByteArrayOutputStream captured = new ByteArrayOutputStream();
        assertTrue(sendCapturingErr(key, captured), "the second listener took it");
        assertEquals(1, after.get());
        assertTrue(captured.toString(StandardCharsets.UTF_8).contains("listener broke"));

        String lonely = freshKey();
        EventHandler.addListener(lonely, (k, e) -> {
            throw new AssertionError("an Error too must not reach the sender");
        });
        assertFalse(sendCapturingErr(lonely, new ByteArrayOutputStream()), "nobody took it");
    }

    private static boolean sendCapturingErr(String key, ByteArrayOutputStream err) {
        PrintStream saved = System.err;
        System.setErr(new PrintStream(err, true, StandardCharsets.UTF_8));
        try {
            return EventHandler.sendEvent(key, "e");
        } finally {
            System.setErr(saved);
        }
    }

    @Test
    void sendingWhileOtherThreadsAddAndRemoveListeners() throws Exception {
        String key = freshKey();
        AtomicInteger stable = new AtomicInteger();
        EventHandler.addListener(key, (k, e) -> stable.incrementAndGet());
        int senders = 4;
        int perSender = 2000;
        ExecutorService pool = Executors.newFixedThreadPool(senders + 1);
        CountDownLatch start = new CountDownLatch(1);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        try {
            List<Future<?>> jobs = new ArrayList<>();
            for (int s = 0; s < senders; s++) {
                jobs.add(pool.submit(() -> {
                    start.await();
                    for (int i = 0; i < perSender; i++) {
                        if (!EventHandler.sendEvent(key, i)) {
                            failure.compareAndSet(null, new AssertionError("event " + i + " not taken"));
                        }
                    }
                    return null;
                }));
            }
            jobs.add(pool.submit(() -> {
                start.await();
                for (int i = 0; i < perSender; i++) {
                    EventListener churn = (k, e) -> { };
                    EventHandler.addListener(key, churn);
                    EventHandler.removeListener(key, churn);
                }
                return null;
            }));
            start.countDown();
            for (Future<?> f : jobs) {
                f.get(60, TimeUnit.SECONDS);
            }
        } finally {
            pool.shutdownNow();
        }
        assertNull(failure.get());
        assertEquals(senders * perSender, stable.get(), "the steady listener must see every event exactly once");
    }
}
