package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXAttributeSet;
import com.qel.nx.api.common.NXObjectAttribute;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Date;
import java.util.Enumeration;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * The natives and the Java members the native library looks up by name and
 * signature. A drift here shows up as a lookup failure inside the library, far
 * from its cause, so it is checked by reflection. Nothing here loads the library.
 */
class NativeContractTest {
    private static final Class<?> EX = AlarmException.class;

    private static void expectNative(Class<?> owner, String name, Class<?> result, Class<?>[] params,
                                     boolean throwsAlarm, List<String> problems) {
        Method m;
        try {
            m = owner.getDeclaredMethod(name, params);
        } catch (NoSuchMethodException e) {
            problems.add(owner.getSimpleName() + "." + name + Arrays.toString(params) + " missing");
            return;
        }
        int mod = m.getModifiers();
        if (!Modifier.isNative(mod) || !Modifier.isPublic(mod) || Modifier.isStatic(mod)) {
            problems.add(name + " must be public, native and not static: " + Modifier.toString(mod));
        }
        if (m.getReturnType() != result) {
            problems.add(name + " returns " + m.getReturnType() + ", not " + result);
        }
        List<Class<?>> declared = Arrays.asList(m.getExceptionTypes());
        List<Class<?>> wanted = throwsAlarm ? List.of(EX) : List.of();
        if (!declared.equals(wanted)) {
            problems.add(name + " declares " + declared + ", expected " + wanted);
        }
    }

    private static Class<?>[] p(Class<?>... types) {
        return types;
    }

    @Test
    void everyNativeOfTheContract() {
        Class<?> c = AlarmLogImpl.class;
        Class<?> ln = LogName.class;
        Class<?> q = GenericQuery.class;
        Class<?> set = AlarmRecordAttributeSet.class;
        Class<?> ids = AlarmRecordId[].class;
        List<String> problems = new ArrayList<>();
        expectNative(c, "init", void.class, p(String.class, ln), true, problems);
        expectNative(c, "addLogNameNative", void.class, p(ln), true, problems);
        expectNative(c, "getAlarmsNative", AlarmRecord[].class, p(ln, q, set), true, problems);
        expectNative(c, "getAlarmsInBatchesNative", void.class, p(ln, int.class, int.class, int.class, q, set),
                true, problems);
        expectNative(c, "stopGetAlarmsInBatchesNative", void.class, p(int.class), false, problems);
        expectNative(c, "getAlarmCountNative", int.class, p(ln, q), true, problems);
        expectNative(c, "getAlarmCountBySeverityNative", int[].class, p(ln, MOName[].class, NXSeverity[].class),
                true, problems);
        expectNative(c, "getSqlQueryNative", String.class, p(q), true, problems);
        for (String n : List.of("setAckAlarmsNative", "setClearAlarmsNative", "setDisplayAlarmsNative")) {
            expectNative(c, n, void.class, p(ln, ids, String[].class), true, problems);
        }
        for (String n : List.of("setUnAckAlarmsNative", "setUnClearAlarmsNative", "setUnDisplayAlarmsNative",
                "clearAlarmsNative", "deleteAlarmsNative")) {
            expectNative(c, n, void.class, p(ln, ids), true, problems);
        }
        expectNative(c, "setEventAttrSetNative", void.class, p(set), true, problems);
        expectNative(c, "getBlobValueNative", byte[].class, p(MOName.class), false, problems);
        expectNative(c, "getHashValueNative", int.class, p(byte[].class), false, problems);
        expectNative(AlarmTable.class, "getDatabaseParametersNative", AlarmDatabaseInfo.class, p(String.class),
                false, problems);

        long natives = Arrays.stream(c.getDeclaredMethods()).filter(m -> Modifier.isNative(m.getModifiers()))
                .count();
        if (natives != 19) {
            problems.add("AlarmLogImpl has " + natives + " natives, not 19");
        }
        assertEquals(List.of(), problems);
    }

    private static void expectField(Class<?> owner, String name, Class<?> type, boolean isStatic,
                                    List<String> problems) {
        try {
            Field f = owner.getField(name);
            if (f.getType() != type || Modifier.isStatic(f.getModifiers()) != isStatic) {
                problems.add(owner.getSimpleName() + "." + name + " is " + Modifier.toString(f.getModifiers())
                        + " " + f.getType().getName());
            }
        } catch (NoSuchFieldException e) {
            problems.add(owner.getSimpleName() + "." + name + " missing");
        }
    }

    private static void expectMethod(Class<?> owner, String name, Class<?> result, boolean isStatic,
                                     List<String> problems, Class<?>... params) {
        try {
            Method m = owner.getMethod(name, params);
            if (m.getReturnType() != result || Modifier.isStatic(m.getModifiers()) != isStatic) {
                problems.add(owner.getSimpleName() + "." + name + " has the wrong result or static-ness");
            }
        } catch (NoSuchMethodException e) {
            problems.add(owner.getSimpleName() + "." + name + Arrays.toString(params) + " missing");
        }
    }

    private static void expectConstructor(Class<?> owner, List<String> problems, Class<?>... params) {
        try {
            owner.getConstructor(params);
        } catch (NoSuchMethodException e) {
            problems.add(owner.getSimpleName() + Arrays.toString(params) + " constructor missing");
        }
    }

    @Test
    void everyJavaMemberTheLibraryLooksUp() {
        List<String> problems = new ArrayList<>();
        expectConstructor(AlarmException.class, problems, String.class);

        expectConstructor(AlarmRecord.class, problems);
        for (String s : List.of("ackOperator", "ackText", "clearOperator", "clearText", "displayOperator",
                "displayText", "additionalText", "eventType", "probableCause")) {
            expectField(AlarmRecord.class, s, String.class, false, problems);
        }
        for (String s : List.of("ackState", "clearState", "displayState")) {
            expectField(AlarmRecord.class, s, Boolean.class, false, problems);
        }
        for (String s : List.of("ackTime", "clearTime", "displayTime", "eventTime", "loggingTime")) {
            expectField(AlarmRecord.class, s, Date.class, false, problems);
        }
        expectField(AlarmRecord.class, "logName", LogName.class, false, problems);
        expectField(AlarmRecord.class, "logRecordId", AlarmRecordId.class, false, problems);
        expectField(AlarmRecord.class, "managedObjectInstance", MOName.class, false, problems);
        expectField(AlarmRecord.class, "perceivedSeverity", NXSeverity.class, false, problems);
        expectField(AlarmRecord.class, "attrSet", AlarmRecordAttributeSet.class, false, problems);

        expectConstructor(AlarmRecordId.class, problems, int.class);
        expectMethod(AlarmRecordId.class, "toString", String.class, false, problems);
        expectMethod(AlarmRecordId.class, "getAlarmFullName", String.class, false, problems);

        expectConstructor(LogName.class, problems, String.class, String.class);
        expectConstructor(LogName.class, problems, String.class, int.class);
        expectMethod(LogName.class, "getFullLogName", String.class, false, problems);
        expectMethod(LogName.class, "toString", String.class, false, problems);
        expectMethod(LogName.class, "getMisName", String.class, false, problems);

        for (String s : List.of("OBJECT_CREATED", "OBJECT_DELETED", "ATTR_VALUE_CHANGED")) {
            expectField(AlarmLogEvent.class, s, int.class, true, problems);
        }
        expectField(AlarmLogEvent.class, "ALARM_EVENT_ID", String.class, true, problems);
        expectConstructor(AlarmLogEvent.class, problems, int.class, AlarmRecord.class);

        expectConstructor(AlarmsBatch.class, problems, AlarmRecord[].class, int.class, int.class);
        expectConstructor(AlarmsBatch.class, problems, int.class, int.class);
        expectField(AlarmsBatch.class, "EVENT_KEY", String.class, true, problems);

        expectMethod(EventHandler.class, "sendEvent", boolean.class, true, problems, String.class, Object.class);
        expectConstructor(AlarmDatabaseInfo.class, problems, String.class, String.class, String.class,
                String.class);

        expectConstructor(MOName.class, problems, int.class, String.class);
        expectMethod(MOName.class, "getMOId", int.class, false, problems);
        expectMethod(MOName.class, "getMOName", String.class, false, problems);

        expectConstructor(NXSeverity.class, problems, int.class);
        expectField(NXSeverity.class, "id", int.class, false, problems);
        for (String s : List.of("CRITICAL_ID", "MAJOR_ID", "MINOR_ID", "WARNING_ID", "INDETERMINATE_ID",
                "CLEARED_ID")) {
            expectField(NXSeverity.class, s, int.class, true, problems);
        }

        expectMethod(NXAttributeSet.class, "add", void.class, false, problems, NXObjectAttribute.class);
        expectConstructor(AlarmRecordAttributeSet.class, problems);
        expectMethod(AlarmRecordAttributeSet.class, "elements", Enumeration.class, false, problems);

        expectMethod(AlarmRecordAttribute.class, "intValue", int.class, false, problems);
        expectMethod(AlarmRecordAttribute.class, "toString", String.class, false, problems);
        for (String s : List.of("ACK_STATE", "ACK_TEXT", "ACK_TIME", "ACK_OPERATOR", "CLEAR_STATE", "CLEAR_TEXT",
                "CLEAR_TIME", "CLEAR_OPERATOR", "DISPLAY_STATE", "DISPLAY_TEXT", "DISPLAY_TIME",
                "DISPLAY_OPERATOR", "ADDITIONAL_TEXT", "LOG_RECORD_ID", "LOG_NAME")) {
            expectField(AlarmRecordAttribute.class, s, AlarmRecordAttribute.class, true, problems);
        }

        for (Class<?> c : List.of(GenericQuery.class, Filter.class)) {
            expectMethod(c, "getLogicalCriteria", LogicalCriteria.class, false, problems);
            expectMethod(c, "elements", Enumeration.class, false, problems);
        }
        expectMethod(FilterItem.class, "getRelation", RelationCriteria.class, false, problems);
        expectMethod(FilterItem.class, "getAttrName", AlarmRecordAttribute.class, false, problems);
        expectMethod(FilterItem.class, "getAttrValue", Object[].class, false, problems);
        expectMethod(LogicalCriteria.class, "intValue", int.class, false, problems);
        expectMethod(RelationCriteria.class, "intValue", int.class, false, problems);

        assertEquals(List.of(), problems);
    }
}
