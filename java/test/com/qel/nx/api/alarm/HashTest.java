package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.util.Random;
import org.junit.jupiter.api.Test;

/** The native hash of encoded names, which must match what the alarm database stored. */
class HashTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();

    /** Independent model: the last 128 bytes backwards, signed, weighted, times 5. */
    private static int model(byte[] s) {
        int[] weights = {61, 59, 53, 47, 43, 41, 37, 31, 29, 23, 17, 13, 11, 7, 3, 1};
        int h = 0;
        for (int i = 0; i < Math.min(s.length, 128); i++) {
            h = (h + s[s.length - 1 - i] * weights[i % 16]) * 5;
        }
        return h;
    }

    @Test
    void knownValues() {
        assertEquals(925130, API.getHashValueNative("abc".getBytes(StandardCharsets.US_ASCII)));
        assertEquals(-305, API.getHashValueNative(new byte[] {(byte) 0xFF}));
        assertEquals(0, API.getHashValueNative(new byte[0]));
        assertEquals(0, API.getHashValueNative(new byte[200]));
    }

    /** Lengths past 128 show that only the last 128 bytes count; the input must come back unchanged. */
    @Test
    void agreesWithTheModelOnRandomInputs() {
        Random random = new Random(20240611L);
        int negatives = 0;
        for (int round = 0; round < 500; round++) {
            byte[] bytes = new byte[random.nextInt(300)];
            random.nextBytes(bytes);
            byte[] copy = bytes.clone();
            int expected = model(bytes);
            negatives += expected < 0 ? 1 : 0;
            assertEquals(expected, API.getHashValueNative(bytes), "length " + bytes.length);
            assertArrayEquals(copy, bytes);
        }
        // The run covered results of 2^31 and above (negative as Java ints).
        assertTrue(negatives > 0);
    }
}
