package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import org.junit.jupiter.api.Test;

/** How stored probable causes and encoded texts read on screen and in files. */
class ReadableValuesTest {
    @Test
    void registeredCausesByTheirStandardNumbers() {
        // Spot checks across the range, spelt as registered.
        assertEquals("adapterError", ProbableCauses.name(1));
        assertEquals("dTE-DCEInterfaceError", ProbableCauses.name(13));
        assertEquals("lANError", ProbableCauses.name(25));
        assertEquals("ouputDeviceError", ProbableCauses.name(33));
        assertEquals("responseTimeExecessive", ProbableCauses.name(44));
        assertEquals("thresholdCrossed", ProbableCauses.name(51));
        assertEquals("versionMismatch", ProbableCauses.name(57));
        assertNull(ProbableCauses.name(0));
        assertNull(ProbableCauses.name(58));
        assertNull(ProbableCauses.name(-1));
        assertEquals(15, ProbableCauses.number("equipmentMalfunction"));
        assertEquals(-1, ProbableCauses.number("EquipmentMalfunction"));
        // The table is consistent both ways, with no name twice.
        for (int n = 1; n <= 57; n++) {
            assertEquals(n, ProbableCauses.number(ProbableCauses.name(n)), "cause " + n);
        }
    }

    @Test
    void storedCausesReadAsNamesOrNumbers() {
        assertEquals("thresholdCrossed", ProbableCauses.readable("localValue : 51"));
        assertEquals("adapterError", ProbableCauses.readable("localValue:1"));
        assertEquals("bandwidthReduced", ProbableCauses.readable("3"));
        assertEquals("900", ProbableCauses.readable("localValue : 900"), "unknown: the number");
        assertEquals("0", ProbableCauses.readable("localValue : 0"));
        assertEquals("-4", ProbableCauses.readable("localValue : -4"));
        // The registered arc names the same causes as the numbers.
        assertEquals("equipmentMalfunction", ProbableCauses.readable("globalValue:{2 9 3 2 0 0 15}"));
        assertEquals("equipmentMalfunction", ProbableCauses.readable("globalValue:{ 2 9 3 2 0 0 15 }"));
        assertEquals("1.3.6.1.4.1.99.7", ProbableCauses.readable("globalValue:{1 3 6 1 4 1 99 7}"));
        assertEquals("2.9.3.2.0.0.99", ProbableCauses.readable("globalValue:{2 9 3 2 0 0 99}"));
        assertEquals("fanTrayMissing", ProbableCauses.readable("globalValue:\"Acme MIB\":fanTrayMissing"));
        // Anything else is shown as it is.
        assertEquals("fan too slow", ProbableCauses.readable("fan too slow"));
        assertEquals("localValue : x", ProbableCauses.readable("localValue : x"));
        assertEquals("localValue : 99999999999", ProbableCauses.readable("localValue : 99999999999"));
        assertNull(ProbableCauses.readable(null));
    }

    @Test
    void stringValuesInTheirEncodingReadAsText() {
        assertEquals("printable", ValueTexts.readable("'13097072696E7461626C65'H"));
        assertEquals("printable", ValueTexts.readable("'13097072696e7461626c65'H"), "lower-case digits");
        assertEquals("ia5 x", ValueTexts.readable("'16056961352078'H"));
        assertEquals("visible", ValueTexts.readable("'1A0776697369626C65'H"));
        assertEquals("gr\u00fcn", ValueTexts.readable("'0C056772C3BC6E'H"), "UTF8String");
        assertEquals("gr\u00fcn", ValueTexts.readable("'19056772C3BC6E'H"), "GraphicString holding UTF-8");
        assertEquals("gr\u00fcn", ValueTexts.readable("'19046772FC6E'H"),
                "GraphicString holding Latin-1");
        assertEquals("\u00e9t\u00e9", ValueTexts.readable("'1E0600E9007400E9'H"), "BMPString");
        assertEquals("A", ValueTexts.readable("'1C0400000041'H"), "UniversalString");
        assertEquals("", ValueTexts.readable("'1300'H"), "an empty string");
        String long130 = "x".repeat(130);
        StringBuilder hex = new StringBuilder("'138182");
        for (int i = 0; i < 130; i++) {
            hex.append("78");
        }
        assertEquals(long130, ValueTexts.readable(hex.append("'H").toString()), "long-form length");
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
