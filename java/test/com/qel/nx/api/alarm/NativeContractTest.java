package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.lang.reflect.Executable;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.List;
import java.util.TreeSet;
import org.junit.jupiter.api.Test;

/**
 * The natives and the Java members the native library looks up by name and JNI
 * descriptor. A drift shows up inside the library as a failed lookup far from its
 * cause, so it is checked here by reflection, without loading the library.
 */
class NativeContractTest {
    private static final String EX = " throws AlarmException";

    /** Every native: "descriptor" plus " throws AlarmException" where it can raise it. */
    private static final List<String> NATIVES = List.of(
            "init(Ljava/lang/String;Lcom/qel/nx/api/alarm/LogName;)V" + EX,
            "addLogNameNative(Lcom/qel/nx/api/alarm/LogName;)V" + EX,
            "getAlarmsNative(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/GenericQuery;"
                    + "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;)[Lcom/qel/nx/api/alarm/AlarmRecord;" + EX,
            "getAlarmsInBatchesNative(Lcom/qel/nx/api/alarm/LogName;IIILcom/qel/nx/api/alarm/GenericQuery;"
                    + "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;)V" + EX,
            "stopGetAlarmsInBatchesNative(I)V",
            "getAlarmCountNative(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/GenericQuery;)I" + EX,
            "getAlarmCountBySeverityNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/common/MOName;"
                    + "[Lcom/qel/nx/api/common/NXSeverity;)[I" + EX,
            "getSqlQueryNative(Lcom/qel/nx/api/alarm/GenericQuery;)Ljava/lang/String;" + EX,
            "setAckAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;"
                    + "[Ljava/lang/String;)V" + EX,
            "setClearAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;"
                    + "[Ljava/lang/String;)V" + EX,
            "setDisplayAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;"
                    + "[Ljava/lang/String;)V" + EX,
            "setUnAckAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;)V" + EX,
            "setUnClearAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;)V" + EX,
            "setUnDisplayAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;)V" + EX,
            "clearAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;)V" + EX,
            "deleteAlarmsNative(Lcom/qel/nx/api/alarm/LogName;[Lcom/qel/nx/api/alarm/AlarmRecordId;)V" + EX,
            "setEventAttrSetNative(Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;)V" + EX,
            "getBlobValueNative(Lcom/qel/nx/api/common/MOName;)[B",
            "getHashValueNative([B)I",
            "getAlarmPageNative(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/GenericQuery;"
                    + "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;ILjava/lang/String;)"
                    + "Lcom/qel/nx/api/alarm/AlarmPage;" + EX,
            "getAlarmHistoryNative(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/AlarmRecordId;)"
                    + "[Lcom/qel/nx/api/alarm/AlarmStateChange;" + EX,
            "getLogHistoryNative(Lcom/qel/nx/api/alarm/LogName;Ljava/util/Date;I)"
                    + "[Lcom/qel/nx/api/alarm/AlarmStateChange;" + EX,
            "purgeAlarmsNative(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/GenericQuery;)I" + EX);

    /** Java members the library looks up: "class member descriptor", "static" where static. */
    private static final List<String> MEMBERS = List.of(
            "alarm.AlarmException <init> (Ljava/lang/String;)V",
            "alarm.AlarmRecord <init> ()V",
            "alarm.AlarmRecord ackOperator Ljava/lang/String;", "alarm.AlarmRecord ackText Ljava/lang/String;",
            "alarm.AlarmRecord clearOperator Ljava/lang/String;", "alarm.AlarmRecord clearText Ljava/lang/String;",
            "alarm.AlarmRecord displayOperator Ljava/lang/String;",
            "alarm.AlarmRecord displayText Ljava/lang/String;",
            "alarm.AlarmRecord additionalText Ljava/lang/String;", "alarm.AlarmRecord eventType Ljava/lang/String;",
            "alarm.AlarmRecord probableCause Ljava/lang/String;",
            "alarm.AlarmRecord ackState Ljava/lang/Boolean;", "alarm.AlarmRecord clearState Ljava/lang/Boolean;",
            "alarm.AlarmRecord displayState Ljava/lang/Boolean;",
            "alarm.AlarmRecord ackTime Ljava/util/Date;", "alarm.AlarmRecord clearTime Ljava/util/Date;",
            "alarm.AlarmRecord displayTime Ljava/util/Date;", "alarm.AlarmRecord eventTime Ljava/util/Date;",
            "alarm.AlarmRecord loggingTime Ljava/util/Date;",
            "alarm.AlarmRecord logName Lcom/qel/nx/api/alarm/LogName;",
            "alarm.AlarmRecord logRecordId Lcom/qel/nx/api/alarm/AlarmRecordId;",
            "alarm.AlarmRecord managedObjectInstance Lcom/qel/nx/api/common/MOName;",
            "alarm.AlarmRecord perceivedSeverity Lcom/qel/nx/api/common/NXSeverity;",
            "alarm.AlarmRecord attrSet Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;",
            "alarm.AlarmRecordId <init> (I)V", "alarm.AlarmRecordId toString ()Ljava/lang/String;",
            "alarm.AlarmRecordId getAlarmFullName ()Ljava/lang/String;",
            "alarm.LogName <init> (Ljava/lang/String;Ljava/lang/String;)V",
            "alarm.LogName <init> (Ljava/lang/String;I)V",
            "alarm.LogName getFullLogName ()Ljava/lang/String;", "alarm.LogName toString ()Ljava/lang/String;",
            "alarm.LogName getMisName ()Ljava/lang/String;",
            "alarm.AlarmLogEvent OBJECT_CREATED I static", "alarm.AlarmLogEvent OBJECT_DELETED I static",
            "alarm.AlarmLogEvent ATTR_VALUE_CHANGED I static",
            "alarm.AlarmLogEvent ALARM_EVENT_ID Ljava/lang/String; static",
            "alarm.AlarmLogEvent <init> (ILcom/qel/nx/api/alarm/AlarmRecord;)V",
            "alarm.AlarmsBatch <init> ([Lcom/qel/nx/api/alarm/AlarmRecord;II)V", "alarm.AlarmsBatch <init> (II)V",
            "alarm.AlarmsBatch EVENT_KEY Ljava/lang/String; static",
            "com.qel.nx.server.qrt.EventHandler sendEvent (Ljava/lang/String;Ljava/lang/Object;)Z static",
            "alarm.AlarmDatabaseInfo <init> (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
                    + "Ljava/lang/String;)V",
            "common.MOName <init> (ILjava/lang/String;)V", "common.MOName getMOId ()I",
            "common.MOName getMOName ()Ljava/lang/String;",
            "common.NXSeverity <init> (I)V", "common.NXSeverity id I",
            "common.NXSeverity CRITICAL_ID I static", "common.NXSeverity MAJOR_ID I static",
            "common.NXSeverity MINOR_ID I static", "common.NXSeverity WARNING_ID I static",
            "common.NXSeverity INDETERMINATE_ID I static", "common.NXSeverity CLEARED_ID I static",
            "common.NXAttributeSet add (Lcom/qel/nx/api/common/NXObjectAttribute;)V",
            "alarm.AlarmRecordAttributeSet <init> ()V",
            "alarm.AlarmRecordAttributeSet elements ()Ljava/util/Enumeration;",
            "alarm.AlarmRecordAttribute intValue ()I", "alarm.AlarmRecordAttribute toString ()Ljava/lang/String;",
            "alarm.GenericQuery getLogicalCriteria ()Lcom/qel/nx/api/alarm/LogicalCriteria;",
            "alarm.GenericQuery elements ()Ljava/util/Enumeration;",
            "alarm.GenericQuery orderCodes ()[I",
            "alarm.AlarmPage <init> ([Lcom/qel/nx/api/alarm/AlarmRecord;Ljava/lang/String;"
                    + "Lcom/qel/nx/api/alarm/AlarmLogImpl;Lcom/qel/nx/api/alarm/LogName;"
                    + "Lcom/qel/nx/api/alarm/GenericQuery;)V",
            "alarm.Filter getLogicalCriteria ()Lcom/qel/nx/api/alarm/LogicalCriteria;",
            "alarm.Filter elements ()Ljava/util/Enumeration;",
            "alarm.FilterItem getRelation ()Lcom/qel/nx/api/alarm/RelationCriteria;",
            "alarm.FilterItem getAttrName ()Lcom/qel/nx/api/alarm/AlarmRecordAttribute;",
            "alarm.FilterItem getAttrValue ()[Ljava/lang/Object;",
            "alarm.LogicalCriteria intValue ()I", "alarm.RelationCriteria intValue ()I");

    private static final List<String> ATTRIBUTE_CONSTANTS = List.of("ACK_STATE", "ACK_TEXT", "ACK_TIME",
            "ACK_OPERATOR", "CLEAR_STATE", "CLEAR_TEXT", "CLEAR_TIME", "CLEAR_OPERATOR", "DISPLAY_STATE",
            "DISPLAY_TEXT", "DISPLAY_TIME", "DISPLAY_OPERATOR", "ADDITIONAL_TEXT", "LOG_RECORD_ID", "LOG_NAME");

    private static String descriptor(Class<?> c) {
        if (c.isPrimitive()) {
            return String.valueOf("ZBCSIJFDV".charAt(List.of(boolean.class, byte.class, char.class, short.class,
                    int.class, long.class, float.class, double.class, void.class).indexOf(c)));
        }
        return c.isArray() ? c.getName().replace('.', '/') : "L" + c.getName().replace('.', '/') + ";";
    }

    private static String descriptor(Executable e, Class<?> result) {
        StringBuilder sb = new StringBuilder("(");
        for (Class<?> p : e.getParameterTypes()) {
            sb.append(descriptor(p));
        }
        return sb.append(')').append(descriptor(result)).toString();
    }

    /** What JNI would find for "name descriptor" in a class, as the table writes it; null if nothing. */
    private static String lookUp(Class<?> c, String name, String desc) {
        if (name.equals("<init>")) {
            // JNI finds constructors and methods whatever their access.
            for (Executable k : c.getDeclaredConstructors()) {
                if (descriptor(k, void.class).equals(desc)) {
                    return desc;
                }
            }
            return null;
        }
        if (!desc.startsWith("(")) {
            try {
                Field f = c.getField(name);
                return descriptor(f.getType()) + (Modifier.isStatic(f.getModifiers()) ? " static" : "");
            } catch (NoSuchFieldException e) {
                return null;
            }
        }
        List<Method> methods = new ArrayList<>(List.of(c.getMethods()));
        methods.addAll(List.of(c.getDeclaredMethods()));
        for (Method m : methods) {
            if (m.getName().equals(name) && descriptor(m, m.getReturnType()).equals(desc)) {
                return desc + (Modifier.isStatic(m.getModifiers()) ? " static" : "");
            }
        }
        return null;
    }

    @Test
    void everyNativeOfTheContract() {
        List<String> found = new ArrayList<>();
        for (Method m : AlarmLogImpl.class.getDeclaredMethods()) {
            int mod = m.getModifiers();
            if (Modifier.isNative(mod)) {
                found.add((Modifier.isPublic(mod) && !Modifier.isStatic(mod) ? "" : "NOT PUBLIC INSTANCE ")
                        + m.getName() + descriptor(m, m.getReturnType())
                        + (m.getExceptionTypes().length == 0 ? "" : " throws "
                        + m.getExceptionTypes()[0].getSimpleName() + (m.getExceptionTypes().length > 1 ? "..." : "")));
            }
        }
        assertEquals(new TreeSet<>(NATIVES), new TreeSet<>(found));

        Method[] table = AlarmTable.class.getDeclaredMethods();
        assertEquals(1, table.length);
        assertEquals(Modifier.PUBLIC | Modifier.NATIVE, table[0].getModifiers());
        assertEquals("getDatabaseParametersNative(Ljava/lang/String;)Lcom/qel/nx/api/alarm/AlarmDatabaseInfo;",
                table[0].getName() + descriptor(table[0], table[0].getReturnType()));
        assertEquals(0, table[0].getExceptionTypes().length);
    }

    @Test
    void everyJavaMemberTheLibraryLooksUp() throws ClassNotFoundException {
        List<String> wrong = new ArrayList<>();
        List<String> members = new ArrayList<>(MEMBERS);
        for (String constant : ATTRIBUTE_CONSTANTS) {
            members.add("alarm.AlarmRecordAttribute " + constant + " Lcom/qel/nx/api/alarm/AlarmRecordAttribute; static");
        }
        for (String entry : members) {
            String[] part = entry.split(" ", 3);
            String className = part[0].startsWith("com.") ? part[0] : "com.qel.nx.api." + part[0];
            String desc = part[2].endsWith(" static") ? part[2].substring(0, part[2].length() - 7) : part[2];
            String got = lookUp(Class.forName(className, false, getClass().getClassLoader()), part[1], desc);
            if (!part[2].equals(got)) {
                wrong.add(entry + " -> " + got);
            }
        }
        assertEquals(List.of(), wrong);
    }
}
