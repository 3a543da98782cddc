package com.qel.nx.cli;

import com.fasterxml.jackson.core.JsonGenerator;
import com.fasterxml.jackson.core.StreamWriteFeature;
import com.fasterxml.jackson.databind.ObjectMapper;
import com.fasterxml.jackson.databind.SerializationFeature;
import com.fasterxml.jackson.databind.json.JsonMapper;
import com.qel.nx.api.alarm.AlarmRecord;
import java.io.Closeable;
import java.io.IOException;
import java.io.PrintWriter;
import java.io.UncheckedIOException;
import java.util.List;
import java.util.Map;
import picocli.CommandLine.Option;

/** CSV (RFC 4180 quoting), JSON and newline-delimited JSON writers for records, changes and counts. */
final class Formats {
    /** Writes maps of names to texts, numbers, booleans and nulls; the caller flushes. */
    private static final ObjectMapper JSON = JsonMapper.builder()
            .disable(SerializationFeature.FLUSH_AFTER_WRITE_VALUE)
            .disable(StreamWriteFeature.AUTO_CLOSE_TARGET)
            .build();

    private Formats() {
    }

    /** --format, for the commands that print records, changes or counts. */
    static final class Choice {
        static final List<String> NAMES = List.of("table", "csv", "json", "ndjson");

        String name = "table";

        @Option(names = "--format", paramLabel = "FORMAT", description = "table (the default), csv, json or ndjson")
        void name(String value) throws CliException {
            if (!NAMES.contains(value)) {
                throw CliException.usage("unknown format \"" + value + "\" (use table, csv, json or ndjson)");
            }
            name = value;
        }

        boolean is(String format) {
            return name.equals(format);
        }
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

    /** The objects as one JSON array, an object a line. */
    static void json(PrintWriter out, List<? extends Map<String, ?>> objects) {
        try (JsonGenerator g = generator(out)) {
            g.writeStartArray();
            for (Map<String, ?> o : objects) {
                g.writeObject(o);
            }
            g.writeEndArray();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        out.println();
        out.flush();
    }

    /** One JSON value on its own line. */
    static void jsonLine(PrintWriter out, Object value) {
        try (Lines lines = new Lines(out)) {
            lines.write(value);
        }
    }

    /** Newline-delimited JSON: each value on a line of its own, written as it comes. */
    static final class Lines implements Closeable {
        private final JsonGenerator g;

        Lines(PrintWriter out) {
            g = generator(out);
        }

        void write(Object value) {
            try {
                g.writeObject(value);
                g.writeRaw('\n');
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        }

        /** Hands what was written to the writer underneath. */
        void flush() {
            try {
                g.flush();
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        }

        @Override
        public void close() {
            try {
                g.close();
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        }
    }

    static List<Map<String, Object>> records(List<AlarmRecord> records) {
        return records.stream().map(RecordView::fields).collect(java.util.stream.Collectors.toList());
    }

    private static JsonGenerator generator(PrintWriter out) {
        try {
            // A PrintWriter never throws; it keeps errors for checkError().
            return JSON.getFactory().createGenerator(out).setPrettyPrinter(new JsonLayout());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
