# gen_alarms.awk: N varied alarm lines for `nxalarm-db ingest`, the same for
# a given seed: awk -v n=20000 -v seed=1 -v logid=AlarmLog -f gen_alarms.awk
# Severities, event types, managed objects (sites, shelves, cards, links),
# causes and texts vary as a network's alarms do; some carry an event time.
BEGIN {
  if (n == "") n = 1000
  if (seed == "") seed = 1
  if (logid == "") logid = "AlarmLog"
  srand(seed)
  split("critical major major minor minor minor warning warning indeterminate cleared", sev, " ")
  split("paris lyon berlin madrid rome oslo vienna prague", site, " ")
  types[1] = "communicationsAlarm|link|3|loss of signal;link down;high bit error rate;loss of frame"
  types[2] = "equipmentAlarm|circuitPack|51|card failure;fan failure;power supply degraded;card removed"
  types[3] = "processingErrorAlarm|software|111|routing process restarted;out of memory;configuration rejected"
  types[4] = "qualityofServiceAlarm|service|89|latency above threshold;packet loss above 2%;jitter above threshold"
  types[5] = "environmentalAlarm|room|143|temperature high;humidity high;door open"
  for (i = 1; i <= n; i++) {
    split(types[1 + int(rand() * 5)], t, "|")
    nt = split(t[4], texts, ";")
    s = site[1 + int(rand() * 8)]
    if (t[2] == "link") moi = "/systemId=name:\\\"" s "-core\\\"/linkId=string:\\\"" s "-" site[1 + int(rand() * 8)] "\\\""
    else if (t[2] == "circuitPack") moi = "/systemId=name:\\\"" s "-core\\\"/equipmentId=string:\\\"shelf-" (1 + int(rand() * 4)) "\\\"/equipmentId=string:\\\"card-" (1 + int(rand() * 16)) "\\\""
    else if (t[2] == "room") moi = "/systemId=name:\\\"" s "-site\\\"/roomId=string:\\\"room-" (1 + int(rand() * 3)) "\\\""
    else moi = "/systemId=name:\\\"" s "-core\\\"/serviceId=string:\\\"" t[2] "-" (1 + int(rand() * 20)) "\\\""
    line = "{\"log\":\"" logid "\",\"type\":\"" t[1] "\",\"severity\":\"" sev[1 + int(rand() * 10)] "\",\"moi\":\"" moi "\",\"moc\":\"" t[2] "\",\"cause\":" (t[3] + int(rand() * 3)) ",\"text\":\"" texts[1 + int(rand() * nt)] " #" i "\""
    if (rand() < 0.3) line = line sprintf(",\"eventTime\":\"2026-%02d-%02d %02d:%02d:%02d\"", 1 + int(rand() * 12), 1 + int(rand() * 28), int(rand() * 24), int(rand() * 60), int(rand() * 60))
    print line "}"
  }
}
