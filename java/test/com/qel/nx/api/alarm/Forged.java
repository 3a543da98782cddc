package com.qel.nx.api.alarm;

import com.qel.nx.api.common.NXAttributeSet;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.util.AbstractSet;
import java.util.Arrays;
import java.util.Iterator;
import java.util.List;

/**
 * Objects the API's types forbid, made by reflection, to show what the native
 * library does when handed them: sets listing anything (repeats, other
 * classes), filter values and elements of other classes, and references of
 * the wrong class where the declared type is final (planted through
 * sun.misc.Unsafe, which skips the store check of arrays; the slot is then
 * read with an aaload that the verifier trusts and passed on unchecked).
 */
final class Forged {
    private Forged() {
    }

    /** An attribute set whose elements() lists exactly the given objects, in order. */
    static AlarmRecordAttributeSet setListing(Object... members) {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        List<Object> listed = Arrays.asList(members);
        Listing raw = new Listing(listed);
        try {
            Field f = NXAttributeSet.class.getDeclaredField("members");
            f.setAccessible(true);
            f.set(set, raw);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException("cannot forge an attribute set", e);
        }
        return set;
    }

    /** Replaces value i of an item (what getAttrValue hands the library). */
    static FilterItem withValue(FilterItem item, int i, Object value) {
        ((Object[]) field(FilterItem.class, "values", item))[i] = value;
        return item;
    }

    /** Adds any object to the list a query enumerates as its filters. */
    static GenericQuery withFilter(GenericQuery query, Object filter) {
        list(GenericQuery.class, "filters", query).add(filter);
        return query;
    }

    /** Adds any object to the list a filter enumerates as its items. */
    static Filter withItem(Filter filter, Object item) {
        list(Filter.class, "items", filter).add(item);
        return filter;
    }

    /**
     * Stores value at index i of array without the array store check. An
     * element so read has the array's static type and nothing checks it
     * again, so it reaches a native as that type.
     */
    static <T> T[] planted(T[] array, int i, Object value) {
        try {
            Class<?> u = Class.forName("sun.misc.Unsafe");
            Field f = u.getDeclaredField("theUnsafe");
            f.setAccessible(true);
            Object unsafe = f.get(null);
            Method base = u.getMethod("arrayBaseOffset", Class.class);
            Method scale = u.getMethod("arrayIndexScale", Class.class);
            Method put = u.getMethod("putObject", Object.class, long.class, Object.class);
            long offset = (int) base.invoke(unsafe, array.getClass())
                    + (long) i * (int) scale.invoke(unsafe, array.getClass());
            put.invoke(unsafe, array, offset, value);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException("cannot plant a value", e);
        }
        return array;
    }

    private static Object field(Class<?> cls, String name, Object owner) {
        try {
            Field f = cls.getDeclaredField(name);
            f.setAccessible(true);
            return f.get(owner);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException("no field " + name + " in " + cls.getName(), e);
        }
    }

    @SuppressWarnings("unchecked")
    private static List<Object> list(Class<?> cls, String name, Object owner) {
        return (List<Object>) field(cls, name, owner);
    }

    /** A "set" that lists what it was given, repeats and all. */
    @SuppressWarnings("rawtypes")
    private static final class Listing extends AbstractSet {
        private final List<Object> listed;

        Listing(List<Object> listed) {
            this.listed = listed;
        }

        @Override
        public Iterator<Object> iterator() {
            return listed.iterator();
        }

        @Override
        public int size() {
            return listed.size();
        }
    }
}
