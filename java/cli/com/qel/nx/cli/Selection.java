package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.Filter;
import com.qel.nx.api.alarm.FilterItem;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.alarm.LogicalCriteria;
import com.qel.nx.api.alarm.RelationCriteria;
import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.time.LocalDateTime;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;
import picocli.CommandLine.Option;

/**
 * The record selection options shared by list, count, sql and purge. All given
 * conditions must hold; the values of one option are alternatives. A value
 * that cannot be read stops the command: a selection is never widened by
 * dropping a condition.
 */
final class Selection {
    static final String HELP =
            "  --severity S[,S..]   critical, major, minor, warning, indeterminate, cleared\n"
          + "  --state S[,S..]      open, acked, cleared, acked-and-cleared\n"
          + "  --type PATTERN       event type, * matches any text (repeatable)\n"
          + "  --moi NAME           managed object instance, exact name (repeatable)\n"
          + "  --moc PATTERN        managed object class, * matches any text (repeatable)\n"
          + "  --since TIME         event time at or after TIME\n"
          + "  --until TIME         event time before TIME\n"
          + "  --id N[,N..]         record identifiers\n"
          + "  TIME: 2024-05-01, \"2024-05-01 13:45[:10]\", 20240501134510, now, or an age: 90s, 15m, 2h, 3d\n";

    private final Set<NXSeverity> severities = new LinkedHashSet<>();
    private final Set<AlarmRecordAttribute> states = new LinkedHashSet<>();
    private final List<String> types = new ArrayList<>();
    private final List<MOName> instances = new ArrayList<>();
    private final List<String> classes = new ArrayList<>();
    private final List<String> ids = new ArrayList<>();
    private String since;
    private String until;
    /** What ages (2h) count back from: one moment for the whole command line. */
    private final LocalDateTime now = LocalDateTime.now();

    @Option(names = "--severity", paramLabel = "S[,S..]", description = "the perceived severity")
    void severities(String value) throws CliException {
        for (String s : list("--severity", value)) {
            severities.add(severity(s));
        }
    }

    @Option(names = "--state", paramLabel = "S[,S..]", description = "the state: open, acked, cleared, acked-and-cleared")
    void states(String value) throws CliException {
        for (String s : list("--state", value)) {
            states.add(state(s));
        }
    }

    @Option(names = "--type", paramLabel = "PATTERN", description = "the event type, * matches any text (repeatable)")
    void type(String value) throws CliException {
        types.add(pattern("--type", value));
    }

    @Option(names = "--moi", paramLabel = "NAME", description = "the managed object instance, exact (repeatable)")
    void instance(String name) throws CliException {
        if (name.isEmpty()) {
            throw CliException.usage("--moi needs a managed object name");
        }
        instances.add(new MOName(0, name));
    }

    @Option(names = "--moc", paramLabel = "PATTERN",
            description = "the managed object class, * matches any text (repeatable)")
    void objectClass(String value) throws CliException {
        classes.add(pattern("--moc", value));
    }

    @Option(names = "--since", paramLabel = "TIME", description = "event time at or after TIME")
    void since(String value) throws CliException {
        since = TimeArg.parse("--since", value, now);
    }

    @Option(names = "--until", paramLabel = "TIME", description = "event time before TIME")
    void until(String value) throws CliException {
        until = TimeArg.parse("--until", value, now);
    }

    @Option(names = "--id", paramLabel = "N[,N..]", description = "record identifiers")
    void ids(String value) throws CliException {
        for (String s : list("--id", value)) {
            ids.add(Integer.toString(WholeNumber.parse("--id", s, 0)));
        }
    }

    /** Whether any selection option was given. */
    boolean given() {
        return !onlyInstances() || !instances.isEmpty();
    }

    /** True when only managed objects (or nothing) are selected. */
    boolean onlyInstances() {
        return severities.isEmpty() && states.isEmpty() && types.isEmpty() && classes.isEmpty()
                && ids.isEmpty() && since == null && until == null;
    }

    List<MOName> instances() {
        return instances;
    }

    /** The query; without conditions it selects every record of the log. */
    GenericQuery query() throws CliException {
        if (since != null && until != null && since.compareTo(until) >= 0) {
            throw CliException.usage("--since " + since + " is not before --until " + until);
        }
        return query(null);
    }

    /** The query, further limited to one severity. */
    GenericQuery query(NXSeverity onlySeverity) throws CliException {
        GenericQuery q = new GenericQuery(LogicalCriteria.AND);
        Filter all = new Filter(LogicalCriteria.AND);
        boolean any = false;
        try {
            if (!severities.isEmpty()) {
                all.add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                        severities.toArray()));
                any = true;
            }
            if (onlySeverity != null) {
                all.add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                        onlySeverity));
                any = true;
            }
            if (!types.isEmpty()) {
                all.add(new FilterItem(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.EQUAL, types.toArray()));
                any = true;
            }
            if (!instances.isEmpty()) {
                all.add(new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL,
                        instances.toArray()));
                any = true;
            }
            if (!classes.isEmpty()) {
                all.add(new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_CLASS, RelationCriteria.EQUAL,
                        classes.toArray()));
                any = true;
            }
            if (!ids.isEmpty()) {
                all.add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL, ids.toArray()));
                any = true;
            }
            if (since != null) {
                all.add(new FilterItem(AlarmRecordAttribute.EVENT_TIME, RelationCriteria.GREATER_THAN_OR_EQUAL,
                        since));
                any = true;
            }
            if (until != null) {
                all.add(new FilterItem(AlarmRecordAttribute.EVENT_TIME, RelationCriteria.LESS_THAN, until));
                any = true;
            }
            if (any) {
                q.add(all);
            }
            if (!states.isEmpty()) {
                Filter anyState = new Filter(LogicalCriteria.OR);
                for (AlarmRecordAttribute s : states) {
                    anyState.add(new FilterItem(s, RelationCriteria.EQUAL));
                }
                q.add(anyState);
            }
        } catch (IllegalArgumentException e) {
            throw CliException.usage("bad filter: " + e.getMessage());
        }
        return q;
    }

    private static List<String> list(String option, String value) throws CliException {
        List<String> out = new ArrayList<>();
        for (String part : value.split(",", -1)) {
            String p = part.trim();
            if (p.isEmpty()) {
                throw CliException.usage(option + " has an empty value in \"" + value + "\"");
            }
            out.add(p);
        }
        return out;
    }

    private static String pattern(String option, String value) throws CliException {
        if (value.isEmpty()) {
            throw CliException.usage(option + " needs a pattern; use * to match any text");
        }
        return value;
    }

    static NXSeverity severity(String name) throws CliException {
        switch (name.toLowerCase(java.util.Locale.ROOT)) {
            case "critical": return NXSeverity.CRITICAL;
            case "major": return NXSeverity.MAJOR;
            case "minor": return NXSeverity.MINOR;
            case "warning": return NXSeverity.WARNING;
            case "indeterminate": return NXSeverity.INDETERMINATE;
            case "cleared": return NXSeverity.CLEARED;
            default:
                throw CliException.usage("unknown severity \"" + name
                        + "\" (use critical, major, minor, warning, indeterminate or cleared)");
        }
    }

    private static AlarmRecordAttribute state(String name) throws CliException {
        switch (name.toLowerCase(java.util.Locale.ROOT)) {
            case "open": return AlarmRecordAttribute.OPEN;
            case "acked": return AlarmRecordAttribute.ACKED;
            case "cleared": return AlarmRecordAttribute.CLEARED;
            case "acked-and-cleared":
            case "acked_and_cleared":
                return AlarmRecordAttribute.ACKED_AND_CLEARED;
            default:
                throw CliException.usage("unknown state \"" + name
                        + "\" (use open, acked, cleared or acked-and-cleared)");
        }
    }
}
