#!/usr/bin/env bash
# seed_demo_db.sh BUILD_DIR DB_FILE: makes a fresh alarm database for the demo:
# three logs (AlarmLog, SecurityLog, and the numbered log 2) holding a few
# thousand alarms of every record type (standard, internet and Nerve Center
# alarms) and of every severity, raised through the embedded MIS as managed
# systems would raise them; then some are acknowledged, cleared and displayed
# through the client API (bin/nxalarm), so every state occurs.
# NX_MIS_NAME must name the MIS the demo uses. Prints the seeding time.
set -euo pipefail
build=$(cd "${1:?usage: seed_demo_db.sh BUILD_DIR DB_FILE}" && pwd)
db=${2:?usage: seed_demo_db.sh BUILD_DIR DB_FILE}
top=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/nxalarm-db
cli=$top/bin/nxalarm
export NX_BUILD_DIR=$build
: "${NX_MIS_NAME:?set NX_MIS_NAME}"

start=$(date +%s.%N)
rm -f "$db"
"$tool" --db "$db" init >/dev/null
"$tool" --db "$db" create-log AlarmLog >/dev/null
"$tool" --db "$db" create-log SecurityLog >/dev/null
"$tool" --db "$db" create-log 2 --number >/dev/null

ids=$(mktemp)
trap 'rm -f "$ids" "$ids".*' EXIT

# The same fixed sequence on every run, so the demo reads the same each time.
RANDOM=4242
severities=(critical major major minor minor minor warning warning indeterminate)
# pick ARRAY: a random element in REPLY. No $(...): a subshell would reseed
# RANDOM and the sequence would differ from run to run.
pick() { local -n arr=$1; REPLY=${arr[RANDOM % ${#arr[@]}]}; }

# raise LOG TYPE MOI MOC CAUSE TEXT COUNT [SEVERITY]: records the new ids per log.
raise() {
  local log=$1 type=$2 moi=$3 moc=$4 cause=$5 text=$6 count=$7 sev=${8:-}
  if [[ -z $sev ]]; then pick severities; sev=$REPLY; fi
  local number=()
  [[ $log =~ ^[0-9]+$ ]] && number=(--number)
  "$tool" --db "$db" raise --log "$log" "${number[@]}" --type "$type" --severity "$sev" \
    --moi "$moi" --moc "$moc" --cause "$cause" --text "$text" --count "$count" >>"$ids.$log"
}

sites=(paris lyon berlin madrid)
link_texts=("loss of signal" "link down" "high bit error rate" "loss of frame")
card_texts=("card failure" "fan failure" "power supply degraded" "card removed")
soft_texts=("routing process restarted" "out of memory" "configuration rejected")
qos_texts=("latency above threshold" "packet loss above 2%" "jitter above threshold")
env_texts=("temperature high" "humidity high" "door open")
trap_texts=("linkDown trap" "authenticationFailure trap" "coldStart trap")
nc_texts=("node unreachable" "interface flapping" "threshold exceeded")

for site in "${sites[@]}"; do
  core="/systemId=name:\"$site-core\""
  for peer in "${sites[@]}"; do
    [[ $peer == "$site" ]] && continue
    pick link_texts
    raise AlarmLog communicationsAlarm "$core/linkId=string:\"$site-$peer\"" link 3 \
      "$REPLY to $peer" $((20 + RANDOM % 60))
  done
  for shelf in 1 2; do
    for card in 1 2 3; do
      pick card_texts
      raise AlarmLog equipmentAlarm "$core/equipmentId=string:\"shelf-$shelf\"/equipmentId=string:\"card-$card\"" \
        circuitPack 51 "$REPLY" $((5 + RANDOM % 40))
    done
  done
  pick soft_texts
  raise AlarmLog processingErrorAlarm "$core/softwareId=string:\"routing\"" software 111 \
    "$REPLY" $((10 + RANDOM % 40))
  for vpn in 1 2 3; do
    pick qos_texts
    raise AlarmLog qualityofServiceAlarm "$core/serviceId=string:\"vpn-$site-$vpn\"" service 89 \
      "$REPLY" $((10 + RANDOM % 50))
  done
  pick env_texts
  raise AlarmLog environmentalAlarm "/systemId=name:\"$site-site\"/roomId=string:\"equipment-room\"" room 143 \
    "$REPLY" $((5 + RANDOM % 20))
  for host in 11 12 13; do
    pick trap_texts
    raise AlarmLog internetAlarm "/systemId=name:\"$site-core\"/ipHost=string:\"10.$host.0.1\"" snmpAgent 2 \
      "$REPLY" $((10 + RANDOM % 30))
  done
  for group in access distribution; do
    pick nc_texts
    raise AlarmLog nerveCenterAlarm "/systemId=name:\"$site-nc\"/nodeGroup=string:\"$group\"" nodeGroup 4 \
      "$REPLY" $((10 + RANDOM % 30))
  done
  raise SecurityLog processingErrorAlarm "$core/securityId=string:\"login\"" securityService 7 \
    "repeated login failures" $((20 + RANDOM % 40))
  raise 2 equipmentAlarm "/systemId=name:\"$site-site\"/powerId=string:\"ups-1\"" powerSupply 18 \
    "running on battery" $((10 + RANDOM % 30))
done

# Some alarms end: a managed system reports severity cleared, which clears
# the alarms it correlates with (same object, event type and cause).
raise AlarmLog communicationsAlarm "/systemId=name:\"lyon-core\"/linkId=string:\"lyon-paris\"" link 3 \
  "link restored" 1 cleared
raise AlarmLog qualityofServiceAlarm "/systemId=name:\"berlin-core\"/serviceId=string:\"vpn-berlin-2\"" service 89 \
  "latency back to normal" 1 cleared
raised=$(date +%s.%N)

# Operators at work: acknowledged, cleared and displayed alarms, through the client API.
every() { awk -v n="$1" -v o="$2" 'NR % n == o' "$ids.AlarmLog" | head -n "$3" | tr '\n' ' '; }
# shellcheck disable=SC2046 # one id per word
"$cli" --db "$db" ack $(every 5 1 400) --text "looking into it" >/dev/null
"$cli" --db "$db" clear $(every 9 2 200) --text "fixed on site" >/dev/null
"$cli" --db "$db" display $(every 4 3 300) >/dev/null
end=$(date +%s.%N)

total=$(cat "$ids".* | wc -l)
awk -v n="$total" -v a="$start" -v b="$raised" -v c="$end" 'BEGIN {
  printf "seeded %d alarms in %.1f s (raising %.1f s, %.1f ms per alarm; state changes %.1f s)\n",
         n, c - a, b - a, (b - a) * 1000 / n, c - b }'
