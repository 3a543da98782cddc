package com.qel.nx.api.alarm;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.util.Arrays;
import java.util.Date;
import java.util.Objects;

/**
 * One condition of a {@link Filter}: an attribute, a relation and the values it
 * is compared with. Several values are alternatives (any one may match).
 *
 * <p>The values are checked and normalised here, so that a query cannot silently
 * select more than asked for:
 * <ul>
 * <li>{@link AlarmRecordAttribute#MANAGED_OBJECT_INSTANCE}: {@link MOName}s;</li>
 * <li>{@link AlarmRecordAttribute#PERCEIVED_SEVERITY}: {@link NXSeverity}s;</li>
 * <li>time attributes: {@link Date}s or fourteen-digit local time texts
 *     (yyyymmddhhmmss); dates are stored as such texts;</li>
 * <li>{@link AlarmRecordAttribute#LOG_RECORD_ID}: {@link AlarmRecordId}s,
 *     non-negative {@link Integer}s or their decimal texts, stored as texts;</li>
 * <li>{@link AlarmRecordAttribute#EVENT_TYPE} and
 *     {@link AlarmRecordAttribute#MANAGED_OBJECT_CLASS}: pattern strings in which
 *     {@code *} matches any text, with {@link RelationCriteria#EQUAL} or
 *     {@link RelationCriteria#NOT_EQUAL} only;</li>
 * <li>the state shortcuts ({@link AlarmRecordAttribute#OPEN} and the like): no
 *     values, with EQUAL or NOT_EQUAL only;</li>
 * <li>every other attribute: strings.</li>
 * </ul>
 * Apart from the state shortcuts, an item needs at least one value.
 * Instances are immutable.
 */
public final class FilterItem {
    private final AlarmRecordAttribute attribute;
    private final RelationCriteria relation;
    private final Object[] values;

    /**
     * Creates a filter item.
     *
     * @param attribute the attribute compared
     * @param relation the comparison
     * @param values the values, of the type the attribute takes (see the class description)
     * @throws NullPointerException if an argument or a value is null
     * @throws IllegalArgumentException if the attribute cannot be filtered on, the
     *         relation does not suit it, or a value has the wrong type or form
     */
    public FilterItem(AlarmRecordAttribute attribute, RelationCriteria relation, Object... values) {
        this.attribute = Objects.requireNonNull(attribute, "attribute");
        this.relation = Objects.requireNonNull(relation, "relation");
        Objects.requireNonNull(values, "values");
        AlarmRecordAttribute.ValueKind kind = attribute.valueKind();
        if (kind == AlarmRecordAttribute.ValueKind.NONE) {
            throw new IllegalArgumentException("cannot filter on \"" + attribute + "\"");
        }
        boolean equality = relation == RelationCriteria.EQUAL || relation == RelationCriteria.NOT_EQUAL;
        if ((kind == AlarmRecordAttribute.ValueKind.PATTERN || kind == AlarmRecordAttribute.ValueKind.STATE)
                && !equality) {
            throw new IllegalArgumentException(
                    "\"" + attribute + "\" allows only EQUAL or NOT_EQUAL, not " + relation);
        }
        if (kind == AlarmRecordAttribute.ValueKind.STATE) {
            if (values.length != 0) {
                throw new IllegalArgumentException("\"" + attribute + "\" takes no values");
            }
        } else if (values.length == 0) {
            throw new IllegalArgumentException("\"" + attribute + "\" needs at least one value");
        }
        Object[] checked = new Object[values.length];
        for (int i = 0; i < values.length; i++) {
            checked[i] = normalise(attribute, kind, Objects.requireNonNull(values[i], "value " + i));
        }
        this.values = checked;
    }

    private static Object normalise(AlarmRecordAttribute attribute, AlarmRecordAttribute.ValueKind kind,
                                    Object value) {
        switch (kind) {
            case MO_NAME:
                if (value instanceof MOName) {
                    return value;
                }
                break;
            case SEVERITY:
                if (value instanceof NXSeverity) {
                    NXSeverity severity = (NXSeverity) value;
                    if (!severity.isKnown()) {
                        throw new IllegalArgumentException("unknown severity id " + severity.id);
                    }
                    return severity;
                }
                break;
            case TIME:
                if (value instanceof Date) {
                    return AlarmTimeText.format((Date) value);
                }
                if (value instanceof String) {
                    if (!AlarmTimeText.isTimeText((String) value)) {
                        throw new IllegalArgumentException("\"" + attribute
                                + "\" needs times as 14 digits yyyymmddhhmmss, not \"" + value + "\"");
                    }
                    return value;
                }
                break;
            case RECORD_ID:
                return recordIdText(value);
            case TEXT:
            case PATTERN:
                if (value instanceof String) {
                    return value;
                }
                break;
            default:
                break;
        }
        throw new IllegalArgumentException("\"" + attribute + "\" does not take a value of type "
                + value.getClass().getName());
    }

    private static String recordIdText(Object value) {
        long id;
        if (value instanceof AlarmRecordId) {
            id = ((AlarmRecordId) value).intValue();
        } else if (value instanceof Integer) {
            id = (Integer) value;
        } else if (value instanceof String) {
            try {
                id = Integer.parseInt((String) value);
            } catch (NumberFormatException e) {
                throw new IllegalArgumentException("not a record identifier: \"" + value + "\"", e);
            }
        } else {
            throw new IllegalArgumentException("\"logRecordId\" does not take a value of type "
                    + value.getClass().getName());
        }
        if (id < 0) {
            throw new IllegalArgumentException("record identifiers are not negative: " + id);
        }
        return Long.toString(id);
    }

    /**
     * Returns the relation.
     *
     * @return the relation, never null
     */
    public RelationCriteria getRelation() {
        return relation;
    }

    /**
     * Returns the attribute.
     *
     * @return the attribute, never null
     */
    public AlarmRecordAttribute getAttrName() {
        return attribute;
    }

    /**
     * Returns the values as normalised by the constructor.
     *
     * @return a copy of the values
     */
    public Object[] getAttrValue() {
        return values.clone();
    }

    @Override
    public boolean equals(Object o) {
        if (this == o) {
            return true;
        }
        if (!(o instanceof FilterItem)) {
            return false;
        }
        FilterItem other = (FilterItem) o;
        return attribute == other.attribute && relation == other.relation
                && Arrays.equals(values, other.values);
    }

    @Override
    public int hashCode() {
        return Objects.hash(attribute, relation, Arrays.hashCode(values));
    }

    @Override
    public String toString() {
        return attribute + " " + relation + " " + Arrays.toString(values);
    }
}
