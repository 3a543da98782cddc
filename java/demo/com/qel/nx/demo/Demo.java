package com.qel.nx.demo;

import com.qel.nx.api.alarm.AlarmLogImpl;
import java.nio.charset.StandardCharsets;

/** The main job: shows the native library at work from Java. */
public final class Demo {
    private Demo() {}

    public static void main(String[] args) {
        AlarmLogImpl log = new AlarmLogImpl();
        String[] samples = {"abc", "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", ""};
        System.out.println("nxalarm: native library loaded");
        for (String s : samples) {
            int h = log.getHashValueNative(s.getBytes(StandardCharsets.UTF_8));
            System.out.printf("  hash of %-48s = %d%n", '"' + s + '"', h);
        }
    }
}
