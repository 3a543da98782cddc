package com.qel.nx.api.alarm;

import com.qel.nx.api.common.NXAttributeSet;
import com.qel.nx.api.common.NXObjectAttribute;

/**
 * The attributes wanted in the records a query returns or an event carries, in
 * the order given. Only record attributes ({@link AlarmRecordAttribute#isRecordAttribute()})
 * are accepted, each at most once.
 *
 * <p>The class is final: the native library enumerates the members through
 * {@link #elements()} and relies on what this class guarantees of them.
 */
public final class AlarmRecordAttributeSet extends NXAttributeSet {
    /** Creates an empty set. */
    public AlarmRecordAttributeSet() {
    }

    /**
     * Creates a set holding the given attributes in order.
     *
     * @param attributes record attributes
     * @return the new set
     * @throws IllegalArgumentException if one is not a record attribute
     */
    public static AlarmRecordAttributeSet of(AlarmRecordAttribute... attributes) {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        for (AlarmRecordAttribute a : attributes) {
            set.add(a);
        }
        return set;
    }

    /**
     * Adds a record attribute at the end unless it is already a member.
     *
     * @param attribute an {@link AlarmRecordAttribute} with a code of 0 to 20
     * @throws NullPointerException if {@code attribute} is null
     * @throws IllegalArgumentException if it is not an alarm record attribute, or
     *         is one that exists only in filters
     */
    @Override
    public void add(NXObjectAttribute attribute) {
        if (attribute != null && !(attribute instanceof AlarmRecordAttribute)) {
            throw new IllegalArgumentException("not an alarm record attribute: " + attribute);
        }
        if (attribute != null && !((AlarmRecordAttribute) attribute).isRecordAttribute()) {
            throw new IllegalArgumentException(
                    "\"" + attribute + "\" can only be used in filters, not requested from records");
        }
        super.add(attribute);
    }
}
