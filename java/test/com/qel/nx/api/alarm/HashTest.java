package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.Random;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/** The native hash of encoded names, which must match what the alarm database stored. */
class HashTest {
    private static AlarmLogImpl impl;

    @BeforeAll
    static void load() {
        impl = new AlarmLogImpl();
    }

    /** Independent model: the last 128 bytes backwards, signed, weighted, times 5. */
    private static int model(byte[] s) {
        int[] weights = {61, 59, 53, 47, 43, 41, 37, 31, 29, 23, 17, 13, 11, 7, 3, 1};
        int n = Math.min(s.length, 128);
        int h = 0;
        for (int i = 0; i < n; i++) {
            h = (h + s[s.length - 1 - i] * weights[i % 16]) * 5;
        }
        return h;
    }

    @Test
    void knownValues() {
        assertEquals(925130, impl.getHashValueNative("abc".getBytes(StandardCharsets.US_ASCII)));
        assertEquals(-305, impl.getHashValueNative(new byte[] {(byte) 0xFF}));
        assertEquals(0, impl.getHashValueNative(new byte[0]));
        assertEquals(0, impl.getHashValueNative(new byte[200]));
    }

    @Test
    void onlyTheLast128BytesCount() {
        byte[] longer = new byte[129];
        for (int i = 0; i < longer.length; i++) {
            longer[i] = (byte) (i * 37 + 11);
        }
        byte[] last128 = Arrays.copyOfRange(longer, 1, 129);
        assertEquals(impl.getHashValueNative(last128), impl.getHashValueNative(longer));
        longer[0] ^= 0x55;
        assertEquals(impl.getHashValueNative(last128), impl.getHashValueNative(longer));
    }

    @Test
    void agreesWithTheModelOnRandomInputs() {
        Random random = new Random(20240611L);
        int negatives = 0;
        for (int round = 0; round < 500; round++) {
            byte[] bytes = new byte[random.nextInt(300)];
            random.nextBytes(bytes);
            int expected = model(bytes);
            negatives += expected < 0 ? 1 : 0;
            assertEquals(expected, impl.getHashValueNative(bytes), "length " + bytes.length);
        }
        // Make sure the run covered results of 2^31 and above (negative as Java ints).
        assertEquals(true, negatives > 0);
    }

    @Test
    void doesNotChangeItsInput() {
        byte[] bytes = "/systemId=name:\"alpha\"".getBytes(StandardCharsets.US_ASCII);
        byte[] copy = bytes.clone();
        impl.getHashValueNative(bytes);
        assertEquals(Arrays.toString(copy), Arrays.toString(bytes));
    }
}
