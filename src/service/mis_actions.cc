// The two requests that change alarm records on the MIS: a clearing
// notification for an alarm, and the deletion of a record.
#include <cstdio>
#include <string>

#include "service/mis_actions.h"
#include "service/mis_impl.h"
#include "service/operator_name.h"

namespace {

constexpr double kTimeout = -12345.0;
constexpr int kValueNotation = 0x10008;

const char* const kCopied[] = {"probableCause",   "specificProblems", "managedObjectInstance",
                               "managedObjectClass", "eventType",      "additionalInformation"};

bool copied_member(const std::string& m) {
  for (const char* c : kCopied) {
    if (m == c) return true;
  }
  return false;
}

const char kExtensionHead[] = "\t{\n\t\tidentifier \"NX-ALARM\":clearOperator,\n\t\tsignificance FALSE,\n\t\tinformation \"";
const char kExtensionTail[] = "\n\t}\n}";

}  // namespace

std::string build_clear_info(const std::vector<std::string>& members,
                             const std::function<std::string(const std::string&, int)>& get,
                             const std::string& user) {
  std::string text = "{";
  for (const std::string& m : members) {
    if (m.find("perceivedSeverity") != std::string::npos) {
      text += " perceivedSeverity cleared,";
      continue;
    }
    if (!copied_member(m)) continue;
    const bool additional = m.find("additionalInformation") != std::string::npos;
    if (!get(m, 0).empty()) {
      text += " " + m + " " + get(m, kValueNotation);
      if (additional) {
        std::size_t brace = text.rfind('}');
        if (brace != std::string::npos) text.replace(brace, 1, ",");
        text += " ";
        text += kExtensionHead;
        text += user + "\"" + kExtensionTail;
      }
      text += ",";
    } else if (additional) {
      text += " additionalInformation {";
      text += kExtensionHead;
      text += user + "\"" + kExtensionTail + ",";
    }
  }
  if (!text.empty() && text.back() == ',') {
    text.back() = '}';
  } else {
    text += "}";
  }
  return text;
}

bool MisImpl::delete_alarm(const std::string& record_name) {
  Image image(DataUnit(record_name), nxmp::EMPTY, Platform::def_platform);
  if (image.get_error_type() != 0) {
    image.reset_error();
    return false;
  }
  if (!image.destroy(kTimeout)) {
    image.reset_error();
    return false;
  }
  return true;
}

bool MisImpl::send_clear_alarm(Platform& platform, const std::string& record_name) {
  Image record(DataUnit(record_name), nxmp::EMPTY, Platform::def_platform);
  if (record.get_error_type() != 0) {
    record.reset_error();
    return false;
  }
  if (!record.boot(kTimeout)) {
    record.reset_error();
    return false;
  }
  Image target(record.get(DataUnit("managedObjectInstance"), 0),
               record.get(DataUnit("managedObjectClass"), 0), Platform::def_platform);
  const DataUnit event_type = record.get(DataUnit("eventType"), 0);
  const Syntax syntax = platform.get_when_syntax(event_type);
  const std::string text = build_clear_info(
      syntax.get_member_names(),
      [&record](const std::string& m, int flags) { return record.get(DataUnit(m), flags).str(); },
      operator_name());
  Oid oid;
  if (!OidNameRegistry::reg_n2o(event_type.view(), oid)) return false;
  Asn1Type type = Asn1Type::lookup_type("eventInfo", "eventType", oid.to_value());
  Asn1Value info = type.parse_value(nxmp::EMPTY, text.c_str(), 9).determine_real_val(0, 0);
  // A notification the MIS could not log is a clear that failed.
  const bool sent = target.send_event(record.get(DataUnit("eventType"), 0), info, Asn1Value());
  target.reset_error();
  return sent;
}
