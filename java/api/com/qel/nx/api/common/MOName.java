package com.qel.nx.api.common;

import java.util.Objects;

/**
 * The name of a managed object: the alarm database's numeric key for it, when
 * known, and its distinguished-name text.
 *
 * <p>An id of 0 means the key is not known; the native library then looks the
 * object up by its name. Instances are immutable.
 */
public final class MOName {
    private final int moId;
    private final String moName;

    /**
     * Creates a managed-object name.
     *
     * @param moId the database key of the object, or 0 when not known
     * @param moName the distinguished-name text (may be empty, not null)
     * @throws NullPointerException if {@code moName} is null
     */
    public MOName(int moId, String moName) {
        this.moId = moId;
        this.moName = Objects.requireNonNull(moName, "moName");
    }

    /**
     * Returns the database key.
     *
     * @return the key, or 0 when not known
     */
    public int getMOId() {
        return moId;
    }

    /**
     * Returns the distinguished-name text.
     *
     * @return the name, never null
     */
    public String getMOName() {
        return moName;
    }

    @Override
    public boolean equals(Object o) {
        if (this == o) {
            return true;
        }
        if (!(o instanceof MOName)) {
            return false;
        }
        MOName other = (MOName) o;
        return moId == other.moId && moName.equals(other.moName);
    }

    @Override
    public int hashCode() {
        return 31 * moId + moName.hashCode();
    }

    @Override
    public String toString() {
        return moId == 0 ? moName : moName + " (" + moId + ")";
    }
}
