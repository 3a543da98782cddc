package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmRecord;
import java.io.PrintWriter;
import java.util.List;
import java.util.Map;

/** CSV (RFC 4180 quoting), JSON and newline-delimited JSON writers for records and counts. */
final class Formats {
    private Formats() {
    }

    static void csvRow(PrintWriter out, Iterable<?> cells) {
        StringBuilder sb = new StringBuilder();
        boolean first = true;
        for (Object c : cells) {
            if (!first) {
                sb.append(',');
            }
            first = false;
            sb.append(csvCell(c == null ? "" : c.toString()));
        }
        out.print(sb.append("\r\n"));
    }

    static String csvCell(String s) {
        if (s.indexOf(',') < 0 && s.indexOf('"') < 0 && s.indexOf('\n') < 0 && s.indexOf('\r') < 0) {
            return s;
        }
        return "\"" + s.replace("\"", "\"\"") + "\"";
    }

    static void csv(PrintWriter out, List<AlarmRecord> records) {
        csvRow(out, RecordView.fields(new AlarmRecord()).keySet());
        for (AlarmRecord r : records) {
            csvRow(out, RecordView.fields(r).values());
        }
        out.flush();
    }

    static void json(PrintWriter out, List<AlarmRecord> records) {
        out.print('[');
        for (int i = 0; i < records.size(); i++) {
            out.print(i == 0 ? "\n  " : ",\n  ");
            out.print(jsonObject(RecordView.fields(records.get(i))));
        }
        out.println(records.isEmpty() ? "]" : "\n]");
        out.flush();
    }

    /** One record as one line of JSON (newline-delimited JSON). */
    static void ndjsonLine(PrintWriter out, AlarmRecord r) {
        out.print(jsonObject(RecordView.fields(r)));
        out.print('\n');
    }

    static String jsonObject(Map<String, ?> fields) {
        StringBuilder sb = new StringBuilder("{");
        boolean first = true;
        for (Map.Entry<String, ?> e : fields.entrySet()) {
            if (!first) {
                sb.append(", ");
            }
            first = false;
            sb.append(jsonString(e.getKey())).append(": ").append(jsonValue(e.getValue()));
        }
        return sb.append('}').toString();
    }

    static String jsonValue(Object v) {
        if (v == null) {
            return "null";
        }
        if (v instanceof Number || v instanceof Boolean) {
            return v.toString();
        }
        return jsonString(v.toString());
    }

    static String jsonString(String s) {
        StringBuilder sb = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            switch (c) {
                case '"': sb.append("\\\""); break;
                case '\\': sb.append("\\\\"); break;
                case '\n': sb.append("\\n"); break;
                case '\r': sb.append("\\r"); break;
                case '\t': sb.append("\\t"); break;
                default:
                    if (c < 0x20) {
                        sb.append(String.format("\\u%04x", (int) c));
                    } else {
                        sb.append(c);
                    }
            }
        }
        return sb.append('"').toString();
    }
}
