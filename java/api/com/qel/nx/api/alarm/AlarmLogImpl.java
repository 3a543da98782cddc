package com.qel.nx.api.alarm;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;

/**
 * The native alarm-log client: reads, counts and changes the records of the
 * alarm logs of a management platform, and watches logs for changes.
 *
 * <p>Call {@link #init(String, LogName)} once per process before anything else
 * except {@link #getHashValueNative(byte[])}, {@link #getSqlQueryNative(GenericQuery)}
 * and {@link #stopGetAlarmsInBatchesNative(int)}. Events about watched logs
 * ({@link AlarmLogEvent}) and the batches of {@link #getAlarmsInBatchesNative}
 * ({@link AlarmsBatch}) are delivered through {@link com.qel.nx.server.qrt.EventHandler}.
 *
 * <p>Failures are reported with {@link AlarmException}. Where a Java argument is
 * null, the library writes a diagnostic line and returns an empty result
 * (null, 0 or nothing) without an exception. An argument, or an object within
 * one (a filter, an item's value, a set's member, an array element), of another
 * class than the one expected, which only reflection can bring about, raises
 * {@link AlarmException} naming what was expected, from every native, before
 * anything is read or changed.
 *
 * <p>Texts are stored as standard UTF-8 and read back as the same strings. A
 * text holding a NUL character or an unpaired surrogate, which cannot be kept
 * exactly, and any input past its bound raise {@link AlarmInputException}
 * naming the input and the reason, and nothing is changed. The bounds, in
 * UTF-8 bytes: 8 MiB for each ack, clear or display text and each filter value;
 * 50 000 for a filter pattern (eventType, managedObjectClass) as the database's
 * LIKE pattern, with a leading '%' and each '_' escaped; 65 534 for log, MIS,
 * managed object and server names; 1024 for record identifier texts.
 */
public class AlarmLogImpl {
    static {
        System.loadLibrary("nxalarm");
    }

    /** Creates a client; all instances share the one native service. */
    public AlarmLogImpl() {
    }

    /**
     * Sets the library up and starts watching a first log. Only the first call in
     * a process can succeed.
     *
     * @param unused not used
     * @param logName the first log to watch
     * @throws AlarmException if already done, or the log does not exist or the MIS
     *         is not accessible
     */
    public native void init(String unused, LogName logName) throws AlarmException;

    /**
     * Starts watching one more log.
     *
     * @param logName the log
     * @throws AlarmException if the log does not exist or the MIS is not accessible
     */
    public native void addLogNameNative(LogName logName) throws AlarmException;

    /**
     * Reads the matching records of a log.
     *
     * @param logName the log
     * @param query the selection; null or without filters selects every record
     * @param attrSet the attributes to fill in each record; every returned record
     *        refers to this set
     * @return the records, possibly none; in the query's order when it has order
     *         keys ({@link GenericQuery#orderBy}), else in table order
     * @throws AlarmException if the records cannot be loaded or the query is invalid
     */
    public native AlarmRecord[] getAlarmsNative(LogName logName, GenericQuery query,
                                                AlarmRecordAttributeSet attrSet) throws AlarmException;

    /**
     * Reads the matching records of a log and sends them to the event handler in
     * {@link AlarmsBatch}es of {@code batchSize} records, followed by an empty
     * batch. Returns when all batches have been sent or the retrieval was stopped.
     * Records come in the query's order when it has order keys
     * ({@link GenericQuery#orderBy}), else in table order.
     *
     * @param logName the log
     * @param batchSize the number of records per batch
     * @param clientTag a tag handed back in every batch
     * @param batchId the retrieval's id, handed back in every batch and used to stop it
     * @param query the selection; null or without filters selects every record
     * @param attrSet the attributes to fill in each record
     * @throws AlarmException if the records cannot be loaded or the query is invalid
     */
    public native void getAlarmsInBatchesNative(LogName logName, int batchSize, int clientTag, int batchId,
                                                GenericQuery query, AlarmRecordAttributeSet attrSet)
            throws AlarmException;

    /**
     * Reads one page of the matching records of a log in the query's order
     * ({@link GenericQuery#orderBy}; without order keys, by record id). The page
     * is read from where the token points, never by counting rows off: a late page
     * costs what the first does, and records added or deleted meanwhile make no
     * record repeat or go missing.
     *
     * @param logName the log
     * @param query the selection and order; null or without filters selects
     *        every record. The token binds the log, the selection and the order
     * @param attrSet the attributes to fill in each record
     * @param limit the most records of the page, 1 to {@link #MAX_PAGE_SIZE}
     * @param pageToken null for the first page, else the
     *        {@link AlarmPage#getNextPageToken()} of the page before
     * @return the page
     * @throws AlarmException if the limit is out of range, the token is garbled or
     *         was made for another log, selection or order, the query is invalid
     *         or the records cannot be loaded
     */
    public native AlarmPage getAlarmPageNative(LogName logName, GenericQuery query, AlarmRecordAttributeSet attrSet,
                                               int limit, String pageToken) throws AlarmException;

    /** The largest page {@link #getAlarmPageNative} reads. */
    public static final int MAX_PAGE_SIZE = 10000;

    /**
     * Asks the batched retrieval with this id to stop before its next record. May
     * be called before the retrieval starts, which then sends only its closing
     * empty batch.
     *
     * @param batchId the retrieval's id
     */
    public native void stopGetAlarmsInBatchesNative(int batchId);

    /**
     * Counts the matching records of a log.
     *
     * @param logName the log
     * @param query the selection; null or without filters counts every record
     * @return the count, or -1 when counting failed
     * @throws AlarmException if the query is invalid
     */
    public native int getAlarmCountNative(LogName logName, GenericQuery query) throws AlarmException;

    /**
     * Counts the records of a log per severity, limited to some managed objects.
     *
     * @param logName the log
     * @param moNames the managed objects; null or empty for all
     * @param severities the severities to count
     * @return one count per severity, in order; -1 where counting failed
     * @throws AlarmException if a severity is invalid
     */
    public native int[] getAlarmCountBySeverityNative(LogName logName, MOName[] moNames, NXSeverity[] severities)
            throws AlarmException;

    /**
     * Returns the SQL condition that a query gives.
     *
     * @param query the query; null gives the empty text
     * @return the condition
     * @throws AlarmException if the query is invalid
     */
    public native String getSqlQueryNative(GenericQuery query) throws AlarmException;

    /**
     * Acknowledges records.
     *
     * @param logName the log
     * @param ids the records
     * @param texts optional texts, one per record by index; null for none
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setAckAlarmsNative(LogName logName, AlarmRecordId[] ids, String[] texts)
            throws AlarmException;

    /**
     * Marks records cleared.
     *
     * @param logName the log
     * @param ids the records
     * @param texts optional texts, one per record by index; null for none
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setClearAlarmsNative(LogName logName, AlarmRecordId[] ids, String[] texts)
            throws AlarmException;

    /**
     * Marks records displayed.
     *
     * @param logName the log
     * @param ids the records
     * @param texts optional texts, one per record by index; null for none
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setDisplayAlarmsNative(LogName logName, AlarmRecordId[] ids, String[] texts)
            throws AlarmException;

    /**
     * Reverses the acknowledgement of records.
     *
     * @param logName the log
     * @param ids the records
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setUnAckAlarmsNative(LogName logName, AlarmRecordId[] ids) throws AlarmException;

    /**
     * Reverses the clearing of records.
     *
     * @param logName the log
     * @param ids the records
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setUnClearAlarmsNative(LogName logName, AlarmRecordId[] ids) throws AlarmException;

    /**
     * Reverses the display of records.
     *
     * @param logName the log
     * @param ids the records
     * @throws AlarmException if {@code ids} is null or the operation failed for some records
     */
    public native void setUnDisplayAlarmsNative(LogName logName, AlarmRecordId[] ids) throws AlarmException;

    /**
     * Sends clear requests for records to the MIS.
     *
     * @param logName the log
     * @param ids the records; must not be empty
     * @throws AlarmException if some records could not be cleared
     */
    public native void clearAlarmsNative(LogName logName, AlarmRecordId[] ids) throws AlarmException;

    /**
     * Deletes records through the MIS.
     *
     * @param logName the log
     * @param ids the records; must not be empty
     * @throws AlarmException if some records could not be deleted
     */
    public native void deleteAlarmsNative(LogName logName, AlarmRecordId[] ids) throws AlarmException;

    /**
     * Chooses the attributes that {@link AlarmLogEvent}s carry. Until a non-empty
     * set is given, no events are delivered.
     *
     * @param attrSet the attributes
     * @throws AlarmException if the set holds an attribute the library does not know
     */
    public native void setEventAttrSetNative(AlarmRecordAttributeSet attrSet) throws AlarmException;

    /**
     * Returns the encoded object instance of a managed object's name, the form in
     * which the alarm database keeps it.
     *
     * @param moName the managed object
     * @return the encoding
     */
    public native byte[] getBlobValueNative(MOName moName);

    /**
     * Returns the 32-bit hash of bytes (of at most their last 128) that the alarm
     * database uses with encoded names.
     *
     * @param bytes the bytes
     * @return the hash
     */
    public native int getHashValueNative(byte[] bytes);

    /**
     * Returns the history of a record: one entry for each change made to it
     * (its creation, each acknowledge, clear and display and their reverses, a
     * clear by a clear notification, its deletion), oldest first. The history
     * of a deleted record stays readable.
     *
     * @param logName the log
     * @param id the record
     * @return the entries; empty for a record the log never had
     * @throws AlarmException if the log is null or the history cannot be read
     */
    public native AlarmStateChange[] getAlarmHistoryNative(LogName logName, AlarmRecordId id)
            throws AlarmException;

    /**
     * Returns the changes made to the records of a log at or after a time,
     * oldest first.
     *
     * @param logName the log
     * @param since the earliest time (to the second); null for all
     * @param limit how many entries at most; must be positive
     * @return the entries
     * @throws AlarmException if the log is null, the limit is not positive or
     *         the history cannot be read
     */
    public native AlarmStateChange[] getLogHistoryNative(LogName logName, java.util.Date since, int limit)
            throws AlarmException;

    /**
     * Deletes the records of a log that a query selects, in one transaction:
     * all of them or none. Each deleted record sends its deletion event and
     * leaves a history entry. A null query or one without filters is refused:
     * to purge every record, give a filter that selects them all. History
     * entries older than {@code NX_HISTORY_DAYS} days, when that is set, are
     * removed at the same time.
     *
     * @param logName the log
     * @param query the selection
     * @return how many records were deleted
     * @throws AlarmException if the log or the query is null, the query has no
     *         filters or cannot be turned into a condition, or the purge failed
     */
    public native int purgeAlarmsNative(LogName logName, GenericQuery query) throws AlarmException;
}
