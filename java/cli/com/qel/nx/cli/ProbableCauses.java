package com.qel.nx.cli;

import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The standard probable causes by name. The numbers are those of the alarm
 * reporting function's registered causes: localValue N and globalValue
 * {2 9 3 2 0 0 N} name the same cause. Names are spelt as registered
 * ("ouputDeviceError", "responseTimeExecessive" included), so they match what
 * other managers print.
 */
public final class ProbableCauses {
    private ProbableCauses() {
    }

    /** The registered causes: index N holds the name of cause N; index 0 is unused. */
    private static final String[] NAMES = {
        null,
        "adapterError",                                 // 1
        "applicationSubsystemFailure",
        "bandwidthReduced",
        "callEstablishmentError",
        "communicationsProtocolError",                  // 5
        "communicationsSubsystemFailure",
        "configurationOrCustomizationError",
        "congestion",
        "corruptData",
        "cpuCyclesLimitExceeded",                       // 10
        "dataSetOrModemError",
        "degradedSignal",
        "dTE-DCEInterfaceError",
        "enclosureDoorOpen",
        "equipmentMalfunction",                         // 15
        "excessiveVibration",
        "fileError",
        "fireDetected",
        "floodDetected",
        "framingError",                                 // 20
        "heatingOrVentilationOrCoolingSystemProblem",
        "humidityUnacceptable",
        "inputOutputDeviceError",
        "inputDeviceError",
        "lANError",                                     // 25
        "leakDetected",
        "localNodeTransmissionError",
        "lossOfFrame",
        "lossOfSignal",
        "materialSupplyExhausted",                      // 30
        "multiplexerProblem",
        "outOfMemory",
        "ouputDeviceError",
        "performanceDegraded",
        "powerProblem",                                 // 35
        "pressureUnacceptable",
        "processorProblem",
        "pumpFailure",
        "queueSizeExceeded",
        "receiveFailure",                               // 40
        "receiverFailure",
        "remoteNodeTransmissionError",
        "resourceAtOrNearingCapacity",
        "responseTimeExecessive",
        "retransmissionRateExcessive",                  // 45
        "softwareError",
        "softwareProgramAbnormallyTerminated",
        "softwareProgramError",
        "storageCapacityProblem",
        "temperatureUnacceptable",                      // 50
        "thresholdCrossed",
        "timingProblem",
        "toxicLeakDetected",
        "transmitFailure",
        "transmitterFailure",                           // 55
        "underlyingResourceUnavailable",
        "versionMismatch",
    };

    /** The arc of the registered causes, as the value notation writes an identifier. */
    private static final String ARC = "2 9 3 2 0 0";

    private static final Pattern LOCAL = Pattern.compile("\\s*(?:localValue\\s*:\\s*)?(-?\\d{1,10})\\s*");
    private static final Pattern GLOBAL = Pattern.compile("\\s*globalValue\\s*:\\s*(.*?)\\s*");
    private static final Pattern ARC_FORM = Pattern.compile("\\{\\s*((?:\\d+[\\s.]+)*\\d+)\\s*\\}|((?:\\d+\\.)+\\d+)");

    /** The name of cause {@code number}, or null when none is registered under it. */
    public static String name(long number) {
        return number > 0 && number < NAMES.length ? NAMES[(int) number] : null;
    }

    /** The number of the cause called {@code name} (exact spelling), or -1. */
    public static int number(String name) {
        for (int i = 1; i < NAMES.length; i++) {
            if (NAMES[i].equals(name)) {
                return i;
            }
        }
        return -1;
    }

    /**
     * A stored probable cause as a person reads it: "localValue : 51" becomes
     * "thresholdCrossed", an unregistered number stays a number ("localValue : 900"
     * becomes "900"), a registered identifier becomes its name, and any other
     * identifier or text is shown as it is (without the "globalValue:" tag).
     */
    public static String readable(String stored) {
        if (stored == null) {
            return null;
        }
        Matcher local = LOCAL.matcher(stored);
        if (local.matches()) {
            long n = Long.parseLong(local.group(1));
            String name = name(n);
            return name != null ? name : Long.toString(n);
        }
        Matcher global = GLOBAL.matcher(stored);
        if (!global.matches()) {
            return stored;
        }
        String value = global.group(1);
        Matcher arc = ARC_FORM.matcher(value);
        if (arc.matches()) {
            String dotted = (arc.group(1) != null ? arc.group(1) : arc.group(2)).trim().replaceAll("[\\s.]+", " ");
            if (dotted.startsWith(ARC + " ")) {
                String last = dotted.substring(ARC.length() + 1);
                if (last.matches("\\d{1,9}")) {
                    String name = name(Long.parseLong(last));
                    if (name != null) {
                        return name;
                    }
                }
            }
            return dotted.replace(' ', '.');
        }
        // A registered identifier's name, possibly qualified by its document.
        int colon = value.lastIndexOf(':');
        String shortName = colon < 0 ? value : value.substring(colon + 1).trim();
        return shortName.isEmpty() ? value : shortName;
    }
}
