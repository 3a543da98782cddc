package com.qel.nx.api.alarm;

import java.util.Objects;

/**
 * One batch of records of a batched retrieval, delivered through
 * {@link com.qel.nx.server.qrt.EventHandler} under the key {@link #EVENT_KEY}.
 * Every retrieval ends with an empty batch. Instances are immutable.
 */
public final class AlarmsBatch {
    /** The event handler key under which batches are sent. */
    public static final String EVENT_KEY = "AlarmsBatch";

    private static final AlarmRecord[] NO_RECORDS = new AlarmRecord[0];

    private final AlarmRecord[] records;
    private final int clientTag;
    private final int batchId;

    /**
     * Creates a batch of records.
     *
     * @param records the records, in retrieval order
     * @param clientTag the tag the client gave the retrieval
     * @param batchId the id of the retrieval
     * @throws NullPointerException if {@code records} is null
     */
    public AlarmsBatch(AlarmRecord[] records, int clientTag, int batchId) {
        this.records = Objects.requireNonNull(records, "records").clone();
        this.clientTag = clientTag;
        this.batchId = batchId;
    }

    /**
     * Creates an empty batch.
     *
     * @param clientTag the tag the client gave the retrieval
     * @param batchId the id of the retrieval
     */
    public AlarmsBatch(int clientTag, int batchId) {
        this.records = NO_RECORDS;
        this.clientTag = clientTag;
        this.batchId = batchId;
    }

    /**
     * Returns the records.
     *
     * @return a copy of the records; empty for an empty batch
     */
    public AlarmRecord[] getRecords() {
        return records.length == 0 ? NO_RECORDS : records.clone();
    }

    /**
     * Returns the number of records.
     *
     * @return the count
     */
    public int size() {
        return records.length;
    }

    /**
     * Returns the tag the client gave the retrieval.
     *
     * @return the client tag
     */
    public int getClientTag() {
        return clientTag;
    }

    /**
     * Returns the id of the retrieval.
     *
     * @return the batch id
     */
    public int getBatchId() {
        return batchId;
    }

    @Override
    public String toString() {
        return "AlarmsBatch{batchId=" + batchId + ", clientTag=" + clientTag + ", records=" + records.length + "}";
    }
}
