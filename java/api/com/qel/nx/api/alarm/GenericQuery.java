package com.qel.nx.api.alarm;

import java.util.ArrayList;
import java.util.Collections;
import java.util.Enumeration;
import java.util.List;
import java.util.Objects;

/**
 * A query over an alarm log: {@link Filter}s joined by one logical operator. A
 * query without filters selects every record of the log.
 */
public final class GenericQuery {
    private final LogicalCriteria logicalCriteria;
    private final List<Filter> filters = new ArrayList<>();

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
        return logicalCriteria + getFilters().toString();
    }
}
