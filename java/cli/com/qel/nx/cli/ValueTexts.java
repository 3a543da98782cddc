package com.qel.nx.cli;

import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;

/**
 * Texts of a record as a person reads them. A text attribute kept in a
 * record's blob with a string type the platform's metadata does not expect
 * (a PrintableString where a GraphicString is declared, say) reaches the
 * record as the hexadecimal value notation of its whole encoding,
 * '13097072696E7461626C65'H; shown, it is the text it holds ("printable").
 * Anything that is not exactly one well-formed string value stays as it is.
 */
public final class ValueTexts {
    private ValueTexts() {
    }

    // Universal tags of the ASN.1 character string types.
    private static final int UTF8_STRING = 12;
    private static final int NUMERIC_STRING = 18;
    private static final int PRINTABLE_STRING = 19;
    private static final int TELETEX_STRING = 20;
    private static final int VIDEOTEX_STRING = 21;
    private static final int IA5_STRING = 22;
    private static final int GRAPHIC_STRING = 25;
    private static final int VISIBLE_STRING = 26;
    private static final int GENERAL_STRING = 27;
    private static final int UNIVERSAL_STRING = 28;
    private static final int BMP_STRING = 30;

    /** The text a stored value holds, or the value itself when it holds no string. */
    public static String readable(String stored) {
        if (stored == null || stored.length() < 7 || !stored.startsWith("'")
                || !(stored.endsWith("'H") || stored.endsWith("'h"))) {
            return stored;
        }
        byte[] ber = hex(stored.substring(1, stored.length() - 2));
        if (ber == null) {
            return stored;
        }
        String text = decodeString(ber);
        return text != null ? text : stored;
    }

    private static byte[] hex(String digits) {
        if (digits.length() % 2 != 0) {
            return null;
        }
        byte[] out = new byte[digits.length() / 2];
        for (int i = 0; i < out.length; i++) {
            int hi = Character.digit(digits.charAt(2 * i), 16);
            int lo = Character.digit(digits.charAt(2 * i + 1), 16);
            if (hi < 0 || lo < 0) {
                return null;
            }
            out[i] = (byte) (hi << 4 | lo);
        }
        return out;
    }

    /**
     * The text of one primitive universal string value that fills {@code ber}
     * exactly (definite length, short or long form); null for anything else or
     * for contents the type does not allow.
     */
    static String decodeString(byte[] ber) {
        if (ber.length < 2) {
            return null;
        }
        int tag = ber[0] & 0xff;
        if ((tag & 0xe0) != 0) {
            return null;  // not universal, or constructed
        }
        int first = ber[1] & 0xff;
        int pos = 2;
        long length;
        if (first < 0x80) {
            length = first;
        } else {
            int octets = first & 0x7f;
            if (octets == 0 || octets > 4 || pos + octets > ber.length) {
                return null;  // indefinite, or longer than any text here
            }
            length = 0;
            for (int i = 0; i < octets; i++) {
                length = length << 8 | (ber[pos++] & 0xff);
            }
        }
        if (pos + length != ber.length) {
            return null;
        }
        byte[] content = java.util.Arrays.copyOfRange(ber, pos, ber.length);
        switch (tag) {
            case UTF8_STRING:
                return strict(content, StandardCharsets.UTF_8);
            case NUMERIC_STRING:
                return matches(content, "[0-9 ]*");
            case PRINTABLE_STRING:
                return matches(content, "[A-Za-z0-9 '()+,\\-./:=?]*");
            case IA5_STRING:
            case VISIBLE_STRING:
                return strict(content, StandardCharsets.US_ASCII);
            case TELETEX_STRING:
            case VIDEOTEX_STRING:
            case GRAPHIC_STRING:
            case GENERAL_STRING: {
                // Their escape-switched repertoires are seldom used; what systems
                // store there is UTF-8 or Latin-1.
                String utf8 = strict(content, StandardCharsets.UTF_8);
                return utf8 != null ? utf8 : new String(content, StandardCharsets.ISO_8859_1);
            }
            case UNIVERSAL_STRING:
                return content.length % 4 == 0 ? strict(content, Charset.forName("UTF-32BE")) : null;
            case BMP_STRING:
                return content.length % 2 == 0 ? strict(content, StandardCharsets.UTF_16BE) : null;
            default:
                return null;
        }
    }

    private static String strict(byte[] content, Charset charset) {
        try {
            return charset.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                    .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(content)).toString();
        } catch (CharacterCodingException e) {
            return null;
        }
    }

    private static String matches(byte[] content, String allowed) {
        String text = strict(content, StandardCharsets.US_ASCII);
        return text != null && text.matches(allowed) ? text : null;
    }
}
