package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import org.junit.jupiter.api.Test;

/** How stored probable causes and encoded texts read on screen and in files. */
class ReadableValuesTest {
    @Test
    void registeredCausesByTheirStandardNumbers() {
        // Spot checks across the range, spelt as registered (misspellings included).
        String[] names = {"1", "adapterError", "13", "dTE-DCEInterfaceError", "25", "lANError", "33",
            "ouputDeviceError", "44", "responseTimeExecessive", "51", "thresholdCrossed", "57", "versionMismatch"};
        for (int i = 0; i < names.length; i += 2) {
            assertEquals(names[i + 1], ProbableCauses.name(Integer.parseInt(names[i])));
        }
        for (int outside : new int[] {0, 58, -1}) {
            assertNull(ProbableCauses.name(outside));
        }
        assertEquals(15, ProbableCauses.number("equipmentMalfunction"));
        assertEquals(-1, ProbableCauses.number("EquipmentMalfunction"));
        // The table is consistent both ways, with no name twice.
        for (int n = 1; n <= 57; n++) {
            assertEquals(n, ProbableCauses.number(ProbableCauses.name(n)), "cause " + n);
        }
    }

    @Test
    void storedCausesReadAsNamesOrNumbers() {
        String[][] cases = {
            {"localValue : 51", "thresholdCrossed"}, {"localValue:1", "adapterError"}, {"3", "bandwidthReduced"},
            {"localValue : 900", "900"}, {"localValue : 0", "0"}, {"localValue : -4", "-4"},
            // The registered arc names the same causes as the numbers.
            {"globalValue:{2 9 3 2 0 0 15}", "equipmentMalfunction"},
            {"globalValue:{ 2 9 3 2 0 0 15 }", "equipmentMalfunction"},
            {"globalValue:{1 3 6 1 4 1 99 7}", "1.3.6.1.4.1.99.7"}, {"globalValue:{2 9 3 2 0 0 99}", "2.9.3.2.0.0.99"},
            {"globalValue:\"Acme MIB\":fanTrayMissing", "fanTrayMissing"},
            // Anything else is shown as it is.
            {"fan too slow", "fan too slow"}, {"localValue : x", "localValue : x"},
            {"localValue : 99999999999", "localValue : 99999999999"},
        };
        for (String[] c : cases) {
            assertEquals(c[1], ProbableCauses.readable(c[0]), c[0]);
        }
        assertNull(ProbableCauses.readable(null));
    }

    @Test
    void stringValuesInTheirEncodingReadAsText() {
        String[][] cases = {
            {"'13097072696E7461626C65'H", "printable"}, {"'13097072696e7461626c65'H", "printable"},
            {"'16056961352078'H", "ia5 x"}, {"'1A0776697369626C65'H", "visible"},
            {"'0C056772C3BC6E'H", "gr\u00fcn"},      // UTF8String
            {"'19056772C3BC6E'H", "gr\u00fcn"},      // GraphicString holding UTF-8
            {"'19046772FC6E'H", "gr\u00fcn"},        // GraphicString holding Latin-1
            {"'1E0600E9007400E9'H", "\u00e9t\u00e9"}, // BMPString
            {"'1C0400000041'H", "A"},                // UniversalString
            {"'1300'H", ""},
            {"'138182" + "78".repeat(130) + "'H", "x".repeat(130)},  // long-form length
        };
        for (String[] c : cases) {
            assertEquals(c[1], ValueTexts.readable(c[0]), c[0]);
        }
    }

    @Test
    void anythingElseStaysAsStored() {
        String[] kept = {
            "'130A7072696E7461626C65'H",   // the length says more than there is
            "'13087072696E7461626C65'H",   // ... or less
            "'1309707269@E7461626C65'H",   // not hexadecimal
            "'130940726E7461626C6565'H",   // '@' is no PrintableString character
            "'040568656C6C6F'H",           // OCTET STRING: bytes, not text
            "'020101'H",                   // INTEGER
            "'33070C0568656C6C6F'H",       // constructed string
            "'1380'H",                     // indefinite length
            "'0C02C328'H",                 // malformed UTF-8
            "'1E03004100'H",               // BMPString of an odd length
            "'1604E9746520'H",             // IA5String past ASCII
            "'7072696E7461626C65'",        // no H
            "printable", "", "'H", "''H",
        };
        for (String s : kept) {
            assertEquals(s, ValueTexts.readable(s), s);
        }
        assertNull(ValueTexts.readable(null));
    }
}
