package com.qel.nx.api.alarm;

import java.util.ArrayList;
import java.util.Collections;
import java.util.EnumSet;
import java.util.Enumeration;
import java.util.List;
import java.util.Objects;
import java.util.Set;

/**
 * A query over an alarm log: {@link Filter}s joined by one logical operator. A
 * query without filters selects every record of the log.
 *
 * <p>A query may also order its records ({@link #orderBy}); without order keys
 * records come in table order. With them, the record id is always the last key
 * (in the direction of the first key), so the order is total and a page read
 * ({@link AlarmLogImpl#getAlarmPageNative}) can go on exactly where it stopped.
 */
public final class GenericQuery {
    /** The attributes a query can be ordered by. */
    private static final Set<AlarmRecordAttribute> ORDERABLE = Collections.unmodifiableSet(EnumSet.of(
            AlarmRecordAttribute.EVENT_TIME, AlarmRecordAttribute.LOGGING_TIME,
            AlarmRecordAttribute.PERCEIVED_SEVERITY, AlarmRecordAttribute.LOG_RECORD_ID,
            AlarmRecordAttribute.ACK_TIME, AlarmRecordAttribute.CLEAR_TIME, AlarmRecordAttribute.DISPLAY_TIME));

    private final LogicalCriteria logicalCriteria;
    private final List<Filter> filters = new ArrayList<>();
    private final List<AlarmRecordAttribute> orderAttributes = new ArrayList<>();
    private final List<Boolean> orderDescending = new ArrayList<>();

    /**
     * Creates an empty query.
     *
     * @param logicalCriteria how its filters are joined
     * @throws NullPointerException if {@code logicalCriteria} is null
     */
    public GenericQuery(LogicalCriteria logicalCriteria) {
        this.logicalCriteria = Objects.requireNonNull(logicalCriteria, "logicalCriteria");
    }

    /**
     * Appends a filter.
     *
     * @param filter the filter
     * @return this query
     * @throws NullPointerException if {@code filter} is null
     */
    public synchronized GenericQuery add(Filter filter) {
        filters.add(Objects.requireNonNull(filter, "filter"));
        return this;
    }

    /**
     * Appends an order key: records are ordered by the keys in the order added,
     * then by record id.
     *
     * <p>Orderable: {@link AlarmRecordAttribute#EVENT_TIME}, {@code LOGGING_TIME},
     * {@code ACK_TIME}, {@code CLEAR_TIME}, {@code DISPLAY_TIME},
     * {@code PERCEIVED_SEVERITY} and {@code LOG_RECORD_ID}. Times compare as
     * times; a record without the time sorts as earlier than every time, so it
     * comes first in ascending order and last in descending order. Severities
     * compare by rank, from most to least severe: critical, major, minor,
     * warning, indeterminate, cleared, then a record with no or another severity;
     * {@code descending} true gives critical first. The order reads the
     * attribute's column, as filters do.
     *
     * @param attribute the attribute to order by
     * @param descending true for the greatest value (the latest time, the most
     *        severe) first
     * @return this query
     * @throws NullPointerException if {@code attribute} is null
     * @throws IllegalArgumentException if the attribute cannot be ordered by, or
     *         the query is already ordered by it
     */
    public synchronized GenericQuery orderBy(AlarmRecordAttribute attribute, boolean descending) {
        Objects.requireNonNull(attribute, "attribute");
        if (!ORDERABLE.contains(attribute)) {
            throw new IllegalArgumentException("records cannot be ordered by " + attribute
                    + "; orderable: " + ORDERABLE);
        }
        if (orderAttributes.contains(attribute)) {
            throw new IllegalArgumentException("the query is already ordered by " + attribute);
        }
        orderAttributes.add(attribute);
        orderDescending.add(descending);
        return this;
    }

    /**
     * Returns the order keys' attributes in the order added.
     *
     * @return an unmodifiable snapshot; empty when the query has no order
     */
    public synchronized List<AlarmRecordAttribute> getOrderAttributes() {
        return Collections.unmodifiableList(new ArrayList<>(orderAttributes));
    }

    /**
     * Tells whether the order key at an index is descending.
     *
     * @param index the key's index in {@link #getOrderAttributes()}
     * @return true for descending
     * @throws IndexOutOfBoundsException if there is no such key
     */
    public synchronized boolean isOrderDescending(int index) {
        return orderDescending.get(index);
    }

    /**
     * The order keys for the native library: attribute code and direction (1
     * descending, 0 ascending) of each key in turn.
     */
    synchronized int[] orderCodes() {
        int[] codes = new int[orderAttributes.size() * 2];
        for (int i = 0; i < orderAttributes.size(); i++) {
            codes[2 * i] = orderAttributes.get(i).intValue();
            codes[2 * i + 1] = orderDescending.get(i) ? 1 : 0;
        }
        return codes;
    }

    /**
     * Returns the operator that joins the filters.
     *
     * @return the operator, never null
     */
    public LogicalCriteria getLogicalCriteria() {
        return logicalCriteria;
    }

    /**
     * Enumerates the filters in the order added.
     *
     * @return an enumeration over a snapshot of the filters
     */
    public Enumeration<Filter> elements() {
        return Collections.enumeration(getFilters());
    }

    /**
     * Returns the filters in the order added.
     *
     * @return an unmodifiable snapshot
     */
    public synchronized List<Filter> getFilters() {
        return Collections.unmodifiableList(new ArrayList<>(filters));
    }

    @Override
    public String toString() {
        StringBuilder text = new StringBuilder().append(logicalCriteria).append(getFilters());
        List<AlarmRecordAttribute> order = getOrderAttributes();
        for (int i = 0; i < order.size(); i++) {
            text.append(i == 0 ? " order by " : ", ").append(order.get(i))
                    .append(isOrderDescending(i) ? " desc" : " asc");
        }
        return text.toString();
    }
}
