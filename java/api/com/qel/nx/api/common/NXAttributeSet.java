package com.qel.nx.api.common;

import java.util.ArrayList;
import java.util.Collections;
import java.util.Enumeration;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Objects;
import java.util.Set;

/**
 * An ordered set of {@link NXObjectAttribute}s: each attribute at most once, in
 * the order in which it was first added.
 *
 * <p>The set is safe for use from several threads; the native library fills sets
 * on event threads while application threads may read them. {@link #elements()}
 * enumerates a snapshot, so adding while enumerating is allowed.
 */
public class NXAttributeSet {
    private final Set<NXObjectAttribute> members = new LinkedHashSet<>();

    /** Creates an empty set. */
    public NXAttributeSet() {
    }

    /**
     * Adds an attribute at the end of the set unless it is already a member.
     *
     * @param attribute the attribute to add
     * @throws NullPointerException if {@code attribute} is null
     */
    public void add(NXObjectAttribute attribute) {
        Objects.requireNonNull(attribute, "attribute");
        synchronized (members) {
            members.add(attribute);
        }
    }

    /**
     * Tells whether an attribute is a member.
     *
     * @param attribute the attribute to look for; null is never a member
     * @return true if the set holds it
     */
    public boolean contains(NXObjectAttribute attribute) {
        synchronized (members) {
            return members.contains(attribute);
        }
    }

    /**
     * Removes an attribute.
     *
     * @param attribute the attribute to remove
     * @return true if it was a member
     */
    public boolean remove(NXObjectAttribute attribute) {
        synchronized (members) {
            return members.remove(attribute);
        }
    }

    /**
     * Enumerates the members in insertion order.
     *
     * @return an enumeration over a snapshot of the members
     */
    public Enumeration<NXObjectAttribute> elements() {
        return Collections.enumeration(toList());
    }

    /**
     * Returns the members in insertion order.
     *
     * @return an unmodifiable snapshot
     */
    public List<NXObjectAttribute> toList() {
        synchronized (members) {
            return Collections.unmodifiableList(new ArrayList<>(members));
        }
    }

    /**
     * Returns the number of members.
     *
     * @return the size of the set
     */
    public int size() {
        synchronized (members) {
            return members.size();
        }
    }

    /**
     * Tells whether the set has no members.
     *
     * @return true if empty
     */
    public boolean isEmpty() {
        return size() == 0;
    }

    @Override
    public String toString() {
        return toList().toString();
    }
}
