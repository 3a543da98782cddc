package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.GenericQuery;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The order of --sort: keys separated by commas, each a field name with "-" in
 * front for descending ("-eventTime,severity"). The record id always orders
 * last, so equal keys never leave the order open.
 */
final class SortKeys {
    static final String HELP = "eventTime, loggingTime, severity, recordId, ackTime, clearTime, displayTime";

    private static final Map<String, AlarmRecordAttribute> KEYS = new LinkedHashMap<>();

    static {
        KEYS.put("eventTime", AlarmRecordAttribute.EVENT_TIME);
        KEYS.put("loggingTime", AlarmRecordAttribute.LOGGING_TIME);
        KEYS.put("severity", AlarmRecordAttribute.PERCEIVED_SEVERITY);
        KEYS.put("recordId", AlarmRecordAttribute.LOG_RECORD_ID);
        KEYS.put("ackTime", AlarmRecordAttribute.ACK_TIME);
        KEYS.put("clearTime", AlarmRecordAttribute.CLEAR_TIME);
        KEYS.put("displayTime", AlarmRecordAttribute.DISPLAY_TIME);
    }

    private final List<AlarmRecordAttribute> attributes = new ArrayList<>();
    private final List<Boolean> descending = new ArrayList<>();

    private SortKeys() {
    }

    /** Reads the value of --sort; an unknown, empty or repeated key is a bad command line. */
    static SortKeys parse(String text) throws CliException {
        SortKeys keys = new SortKeys();
        for (String word : text.split(",", -1)) {
            String w = word.trim();
            boolean desc = w.startsWith("-");
            String name = desc || w.startsWith("+") ? w.substring(1) : w;
            if (name.isEmpty()) {
                throw CliException.usage("--sort has an empty key in \"" + text + "\"");
            }
            AlarmRecordAttribute a = KEYS.get(name);
            if (a == null) {
                throw CliException.usage("unknown sort key \"" + name + "\" (use " + HELP + ", with - for descending)");
            }
            if (keys.attributes.contains(a)) {
                throw CliException.usage("sort key \"" + name + "\" given twice");
            }
            keys.attributes.add(a);
            keys.descending.add(desc);
        }
        return keys;
    }

    /** Orders the query by the keys. */
    GenericQuery applyTo(GenericQuery query) {
        for (int i = 0; i < attributes.size(); i++) {
            query.orderBy(attributes.get(i), descending.get(i));
        }
        return query;
    }
}
