package com.qel.nx.cli;

import com.fasterxml.jackson.core.JsonGenerator;
import com.fasterxml.jackson.core.util.MinimalPrettyPrinter;
import java.io.IOException;

/**
 * How the command line lays out its JSON: an object on one line with a space
 * after each colon and comma, an array's items one a line, indented. A record
 * is then one line, whether it stands alone (ndjson) or in an array (json).
 * Root values get no separator: the writer ends each line itself.
 */
final class JsonLayout extends MinimalPrettyPrinter {
    private static final long serialVersionUID = 1L;

    JsonLayout() {
        super("");
    }

    @Override
    public void writeObjectFieldValueSeparator(JsonGenerator g) throws IOException {
        g.writeRaw(": ");
    }

    @Override
    public void writeObjectEntrySeparator(JsonGenerator g) throws IOException {
        g.writeRaw(", ");
    }

    @Override
    public void beforeArrayValues(JsonGenerator g) throws IOException {
        g.writeRaw("\n  ");
    }

    @Override
    public void writeArrayValueSeparator(JsonGenerator g) throws IOException {
        g.writeRaw(",\n  ");
    }

    @Override
    public void writeEndArray(JsonGenerator g, int values) throws IOException {
        g.writeRaw(values == 0 ? "]" : "\n]");
    }
}
