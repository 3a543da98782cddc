package com.qel.nx.api.alarm;

import java.util.Objects;

/**
 * One page of an ordered read ({@link AlarmLogImpl#getAlarmPageNative}): the
 * records and the token that reads the next page.
 *
 * <p>The total is counted when {@link #getTotal()} is first called (with the
 * log and the query as they are then) and kept: reading a page does not pay for
 * counting the whole selection.
 */
public final class AlarmPage {
    private final AlarmRecord[] records;
    private final String nextPageToken;
    private final AlarmLogImpl source;
    private final LogName logName;
    private final GenericQuery query;
    private int total = -1;

    /**
     * Made by the native library.
     *
     * @param records the page's records, in order
     * @param nextPageToken the next page's token, or null after the last page
     * @param source the client that read the page, which counts the total
     * @param logName the log
     * @param query the query
     */
    AlarmPage(AlarmRecord[] records, String nextPageToken, AlarmLogImpl source, LogName logName,
              GenericQuery query) {
        this.records = Objects.requireNonNull(records, "records");
        this.nextPageToken = nextPageToken;
        this.source = source;
        this.logName = logName;
        this.query = query;
    }

    /**
     * Returns the page's records in the query's order.
     *
     * @return a copy of the records; empty when the selection has no record past
     *         the token
     */
    public AlarmRecord[] getRecords() {
        return records.clone();
    }

    /**
     * Returns the token that reads the next page: the page after the last record
     * of this one, whatever was added or deleted meanwhile.
     *
     * @return the opaque token, or null when this is the last page
     */
    public String getNextPageToken() {
        return nextPageToken;
    }

    /**
     * Returns the number of records the query selects in the whole log, counted
     * at the first call.
     *
     * @return the count
     * @throws AlarmException if counting failed
     */
    public synchronized int getTotal() throws AlarmException {
        if (total < 0) {
            int counted = source.getAlarmCountNative(logName, query);
            if (counted < 0) {
                throw new AlarmException("Error while loading alarms: the selection could not be counted");
            }
            total = counted;
        }
        return total;
    }
}
