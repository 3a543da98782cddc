package com.qel.nx.api.alarm;

/** Access to the parameters of the alarm database of a management server. */
public class AlarmTable {
    static {
        System.loadLibrary("nxalarm");
    }

    /** Creates an accessor. */
    public AlarmTable() {
    }

    /**
     * Returns the connection parameters of a server's alarm database. Needs a
     * prior {@link AlarmLogImpl#init(String, LogName)}.
     *
     * @param serverName the management server's system name
     * @return new parameters on every call
     */
    public native AlarmDatabaseInfo getDatabaseParametersNative(String serverName);
}
