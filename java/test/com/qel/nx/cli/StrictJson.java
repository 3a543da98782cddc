package com.qel.nx.cli;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A strict JSON reader for the tests (RFC 8259): objects become maps, arrays
 * lists, numbers Long or Double. Anything else, trailing text included, is an
 * IllegalArgumentException naming the position.
 */
final class StrictJson {
    private final String s;
    private int pos;

    private StrictJson(String s) {
        this.s = s;
    }

    static Object parse(String text) {
        StrictJson p = new StrictJson(text);
        Object v = p.value();
        p.blanks();
        if (p.pos != text.length()) {
            throw p.error("text after the value");
        }
        return v;
    }

    @SuppressWarnings("unchecked")
    static Map<String, Object> object(String text) {
        Object v = parse(text);
        if (!(v instanceof Map)) {
            throw new IllegalArgumentException("not a JSON object: " + text);
        }
        return (Map<String, Object>) v;
    }

    private IllegalArgumentException error(String what) {
        return new IllegalArgumentException(what + " at " + pos + " of: " + s);
    }

    private void blanks() {
        while (pos < s.length() && " \t\r\n".indexOf(s.charAt(pos)) >= 0) {
            pos++;
        }
    }

    private void expect(char c) {
        blanks();
        if (pos >= s.length() || s.charAt(pos) != c) {
            throw error("expected '" + c + "'");
        }
        pos++;
    }

    private Object value() {
        blanks();
        if (pos >= s.length()) {
            throw error("no value");
        }
        char c = s.charAt(pos);
        switch (c) {
            case '{': return object();
            case '[': return array();
            case '"': return string();
            case 't': return word("true", Boolean.TRUE);
            case 'f': return word("false", Boolean.FALSE);
            case 'n': return word("null", null);
            default:
                if (c == '-' || (c >= '0' && c <= '9')) {
                    return number();
                }
                throw error("unexpected '" + c + "'");
        }
    }

    private Object word(String w, Object v) {
        if (!s.startsWith(w, pos)) {
            throw error("expected " + w);
        }
        pos += w.length();
        return v;
    }

    private Map<String, Object> object() {
        Map<String, Object> m = new LinkedHashMap<>();
        expect('{');
        blanks();
        if (pos < s.length() && s.charAt(pos) == '}') {
            pos++;
            return m;
        }
        do {
            blanks();
            String key = string();
            if (m.containsKey(key)) {
                throw error("key \"" + key + "\" twice");
            }
            expect(':');
            m.put(key, value());
            blanks();
        } while (pos < s.length() && s.charAt(pos) == ',' && ++pos > 0);
        expect('}');
        return m;
    }

    private List<Object> array() {
        List<Object> l = new ArrayList<>();
        expect('[');
        blanks();
        if (pos < s.length() && s.charAt(pos) == ']') {
            pos++;
            return l;
        }
        do {
            l.add(value());
            blanks();
        } while (pos < s.length() && s.charAt(pos) == ',' && ++pos > 0);
        expect(']');
        return l;
    }

    private String string() {
        if (pos >= s.length() || s.charAt(pos) != '"') {
            throw error("expected a string");
        }
        pos++;
        StringBuilder sb = new StringBuilder();
        while (true) {
            if (pos >= s.length()) {
                throw error("unterminated string");
            }
            char c = s.charAt(pos++);
            if (c == '"') {
                return sb.toString();
            }
            if (c < 0x20) {
                throw error("raw control character in a string");
            }
            if (c != '\\') {
                sb.append(c);
                continue;
            }
            if (pos >= s.length()) {
                throw error("unterminated escape");
            }
            char e = s.charAt(pos++);
            switch (e) {
                case '"': sb.append('"'); break;
                case '\\': sb.append('\\'); break;
                case '/': sb.append('/'); break;
                case 'b': sb.append('\b'); break;
                case 'f': sb.append('\f'); break;
                case 'n': sb.append('\n'); break;
                case 'r': sb.append('\r'); break;
                case 't': sb.append('\t'); break;
                case 'u':
                    if (pos + 4 > s.length() || !s.substring(pos, pos + 4).matches("[0-9a-fA-F]{4}")) {
                        throw error("bad \\u escape");
                    }
                    sb.append((char) Integer.parseInt(s.substring(pos, pos + 4), 16));
                    pos += 4;
                    break;
                default:
                    throw error("bad escape \\" + e);
            }
        }
    }

    private Object number() {
        int start = pos;
        java.util.regex.Matcher m = java.util.regex.Pattern.compile("-?(?:0|[1-9]\\d*)(\\.\\d+)?([eE][+-]?\\d+)?")
                .matcher(s).region(pos, s.length());
        if (!m.lookingAt()) {
            throw error("bad number");
        }
        pos = m.end();
        String n = s.substring(start, pos);
        return m.group(1) == null && m.group(2) == null ? (Object) Long.parseLong(n) : (Object) Double.parseDouble(n);
    }
}
