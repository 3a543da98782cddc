package com.qel.nx.api.alarm;

import java.util.ArrayList;
import java.util.Collections;
import java.util.Enumeration;
import java.util.List;
import java.util.Objects;

/**
 * A list of {@link FilterItem}s joined by one logical operator. A filter without
 * items selects every record.
 *
 * <pre>{@code
 * Filter f = new Filter(LogicalCriteria.AND)
 *         .add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
 *                             NXSeverity.CRITICAL, NXSeverity.MAJOR))
 *         .add(new FilterItem(AlarmRecordAttribute.OPEN, RelationCriteria.EQUAL));
 * }</pre>
 */
public final class Filter {
    private final LogicalCriteria logicalCriteria;
    private final List<FilterItem> items = new ArrayList<>();

    /**
     * Creates an empty filter.
     *
     * @param logicalCriteria how its items are joined
     * @throws NullPointerException if {@code logicalCriteria} is null
     */
    public Filter(LogicalCriteria logicalCriteria) {
        this.logicalCriteria = Objects.requireNonNull(logicalCriteria, "logicalCriteria");
    }

    /**
     * Appends an item.
     *
     * @param item the item
     * @return this filter
     * @throws NullPointerException if {@code item} is null
     */
    public synchronized Filter add(FilterItem item) {
        items.add(Objects.requireNonNull(item, "item"));
        return this;
    }

    /**
     * Returns the operator that joins the items.
     *
     * @return the operator, never null
     */
    public LogicalCriteria getLogicalCriteria() {
        return logicalCriteria;
    }

    /**
     * Enumerates the items in the order added.
     *
     * @return an enumeration over a snapshot of the items
     */
    public Enumeration<FilterItem> elements() {
        return Collections.enumeration(getItems());
    }

    /**
     * Returns the items in the order added.
     *
     * @return an unmodifiable snapshot
     */
    public synchronized List<FilterItem> getItems() {
        return Collections.unmodifiableList(new ArrayList<>(items));
    }

    @Override
    public String toString() {
        return logicalCriteria + getItems().toString();
    }
}
