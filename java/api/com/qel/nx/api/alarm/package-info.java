/**
 * The alarm-log client API: alarm records and their attributes, log names,
 * queries, events and batches, and the native client {@link com.qel.nx.api.alarm.AlarmLogImpl}.
 */
package com.qel.nx.api.alarm;
