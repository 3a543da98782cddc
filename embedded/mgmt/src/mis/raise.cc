// raise_alarm: an alarm notification built from its parts, emitted from the
// managed object and logged by the MIS.
#include <cctype>

#include "metadata.h"
#include "mis/mis.h"
#include "mis/record_attributes.h"
#include "nxmp/asn1_type.h"
#include "nxmp/mis.h"

namespace nxmp_mis {
namespace {

bool all_digits(const std::string& s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The probable cause in value notation: a number is a local value, anything
// else a registered name or an OID in braces.
std::string cause_notation(const std::string& cause) {
  if (all_digits(cause)) return "localValue : " + cause;
  if (!cause.empty() && cause.front() == '{') return "globalValue : " + cause;
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(cause));
  if (e != nullptr) return "globalValue : " + e->name;
  return "globalValue : " + cause;
}

}  // namespace

RaiseResult raise_alarm(const AlarmNotification& n) {
  RaiseResult result;
  std::shared_ptr<Mis> mis = current_mis(result.error);
  if (!mis) return result;
  const nxmp_meta::Entry* event = nxmp_meta::find(std::string_view(n.event_type));
  if (event == nullptr || event->kind != nxmp_meta::EntryKind::Notification) {
    result.error = "unknown event type: " + n.event_type;
    return result;
  }
  Asn1Type syntax = Asn1Type::lookup_type("eventInfo", "eventType", event->oid.to_value());
  if (!syntax) {
    result.error = n.event_type + " carries no alarm information";
    return result;
  }
  if (n.moi.empty() || n.moc.empty()) {
    result.error = "the managed object instance and class are required";
    return result;
  }
  std::string text = "{ probableCause " + cause_notation(n.probable_cause) + ", perceivedSeverity " +
                     n.severity;
  if (!n.additional_text.empty()) text += ", additionalText " + quote(n.additional_text);
  text += " }";
  Asn1Value info = syntax.parse(text);
  if (info.is_null()) {
    result.error = "not a valid alarm (severity " + n.severity + ", cause " + n.probable_cause + ")";
    return result;
  }
  ObjectRef log;
  log.kind = ObjectRef::Kind::kLog;
  log.system = mis->system_name();
  log.log_id = n.log_id;
  log.log_is_number = n.log_is_number;
  result.ok = mis->log_notification(event->name, info, n.moi, n.moc, n.log_id.empty() ? nullptr : &log,
                                    result.record_ids, result.error);
  return result;
}

}  // namespace nxmp_mis
