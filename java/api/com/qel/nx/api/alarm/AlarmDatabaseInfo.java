package com.qel.nx.api.alarm;

import java.util.Objects;

/**
 * The connection parameters of a management server's alarm database, for
 * clients that read the database directly. Holds no password. Instances are
 * immutable.
 */
public final class AlarmDatabaseInfo {
    private final String databaseName;
    private final String userName;
    private final String hostName;
    private final String protocol;

    /**
     * Creates the parameters, in the order the native library passes them.
     *
     * @param databaseName the database (for a file database, the file's path)
     * @param userName the user to connect as; empty when the database has no accounts
     * @param hostName the host the database runs on
     * @param protocol the kind of connection, such as "sqlite"
     * @throws NullPointerException if an argument is null
     */
    public AlarmDatabaseInfo(String databaseName, String userName, String hostName, String protocol) {
        this.databaseName = Objects.requireNonNull(databaseName, "databaseName");
        this.userName = Objects.requireNonNull(userName, "userName");
        this.hostName = Objects.requireNonNull(hostName, "hostName");
        this.protocol = Objects.requireNonNull(protocol, "protocol");
    }

    /**
     * Returns the database.
     *
     * @return the database name or file path
     */
    public String getDatabaseName() {
        return databaseName;
    }

    /**
     * Returns the user to connect as.
     *
     * @return the user name; empty when the database has no accounts
     */
    public String getUserName() {
        return userName;
    }

    /**
     * Returns the host the database runs on.
     *
     * @return the host name
     */
    public String getHostName() {
        return hostName;
    }

    /**
     * Returns the kind of connection.
     *
     * @return the protocol
     */
    public String getProtocol() {
        return protocol;
    }

    @Override
    public boolean equals(Object o) {
        if (this == o) {
            return true;
        }
        if (!(o instanceof AlarmDatabaseInfo)) {
            return false;
        }
        AlarmDatabaseInfo other = (AlarmDatabaseInfo) o;
        return databaseName.equals(other.databaseName) && userName.equals(other.userName)
                && hostName.equals(other.hostName) && protocol.equals(other.protocol);
    }

    @Override
    public int hashCode() {
        return Objects.hash(databaseName, userName, hostName, protocol);
    }

    @Override
    public String toString() {
        return "AlarmDatabaseInfo{database=" + databaseName + ", user=" + userName + ", host=" + hostName
                + ", protocol=" + protocol + "}";
    }
}
