#include "jni/java_fields.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jni/convert.h"
#include "jni/messages.h"
#include "platform/management_platform.h"

namespace nxjni {
namespace {

using R = JavaIds;

constexpr JavaField kFields[] = {
    {ATTR_ACK_OPERATOR, FieldKind::kText, kSlotAckOperator, nullptr, &R::ack_operator, &R::attr_ack_operator},
    {ATTR_ACK_STATE, FieldKind::kState, kSlotAckState, "acked", &R::ack_state, &R::attr_ack_state},
    {ATTR_ACK_TEXT, FieldKind::kText, kSlotAckText, nullptr, &R::ack_text, &R::attr_ack_text},
    {ATTR_ACK_TIME, FieldKind::kDateAlways, kSlotAckTime, nullptr, &R::ack_time, &R::attr_ack_time},
    {ATTR_ADDITIONAL_TEXT, FieldKind::kText, kSlotAdditionalText, nullptr, &R::additional_text,
     &R::attr_additional_text},
    {ATTR_CLEAR_OPERATOR, FieldKind::kText, kSlotClearOperator, nullptr, &R::clear_operator,
     &R::attr_clear_operator},
    {ATTR_CLEAR_STATE, FieldKind::kState, kSlotClearState, "cleared", &R::clear_state, &R::attr_clear_state},
    {ATTR_CLEAR_TEXT, FieldKind::kText, kSlotClearText, nullptr, &R::clear_text, &R::attr_clear_text},
    {ATTR_CLEAR_TIME, FieldKind::kDateAlways, kSlotClearTime, nullptr, &R::clear_time, &R::attr_clear_time},
    {ATTR_DISPLAY_OPERATOR, FieldKind::kText, kSlotDisplayOperator, nullptr, &R::display_operator,
     &R::attr_display_operator},
    {ATTR_DISPLAY_STATE, FieldKind::kState, kSlotDisplayState, "displayed", &R::display_state,
     &R::attr_display_state},
    {ATTR_DISPLAY_TEXT, FieldKind::kText, kSlotDisplayText, nullptr, &R::display_text, &R::attr_display_text},
    {ATTR_DISPLAY_TIME, FieldKind::kDateIfValid, kSlotDisplayTime, nullptr, &R::display_time,
     &R::attr_display_time},
    {ATTR_EVENT_TIME, FieldKind::kDateAlways, kSlotEventTime, nullptr, &R::event_time, nullptr},
    {ATTR_EVENT_TYPE, FieldKind::kTextAlways, kSlotEventType, nullptr, &R::event_type, nullptr},
    {ATTR_LOGGING_TIME, FieldKind::kDateAlways, kSlotLoggingTime, nullptr, &R::logging_time, nullptr},
    {ATTR_LOG_RECORD_ID, FieldKind::kRecordId, kSlotNone, nullptr, &R::log_record_id, &R::attr_log_record_id},
    {ATTR_MANAGED_OBJECT_INSTANCE, FieldKind::kMoName, kSlotNone, nullptr, &R::managed_object_instance, nullptr},
    {ATTR_PERCEIVED_SEVERITY, FieldKind::kSeverity, kSlotNone, nullptr, &R::perceived_severity, nullptr},
    {ATTR_PROBABLE_CAUSE, FieldKind::kText, kSlotProbableCause, nullptr, &R::probable_cause, nullptr},
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
int digits(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

}  // namespace

const JavaField* java_field(AlarmAttributeId id) {
  // Asked for every attribute of every record: index the table by id once.
  static const auto* const by_id = [] {
    static const JavaField* table[ATTR_LOG_NAME + 1] = {};
    for (const JavaField& f : kFields) table[f.id] = &f;
    return table;
  }();
  return id >= 0 && id <= ATTR_LOG_NAME ? by_id[id] : nullptr;
}

bool alarm_time_fields(const std::string& text, jint out[6]) {
  if (text == "NULL") return false;
  const char* p = text.c_str();
  if (const char* quote = std::strchr(p, '"')) p = quote + 1;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool plain = true;  // fourteen digits: each field reads exactly its width
  for (int i = 0; i < 14 && plain; ++i) plain = is_digit(p[i]);
  if (plain) {
    year = digits(p, 4);
    month = digits(p + 4, 2);
    day = digits(p + 6, 2);
    hour = digits(p + 8, 2);
    minute = digits(p + 10, 2);
    second = digits(p + 12, 2);
  } else {
    std::sscanf(p, "%4d%02d%02d%02d%02d%02d", &year, &month, &day, &hour, &minute, &second);
  }
  out[0] = year - 1900;
  out[1] = month - 1;
  out[2] = day;
  out[3] = hour;
  out[4] = minute;
  out[5] = second;
  return true;
}

int severity_index(const std::string& text) {
  // Compared in this order; the index is the object's creation order.
  static const char* const kTexts[] = {"minor", "major", "critical", "warning", "indeterminate"};
  static const int kIndex[] = {2, 1, 0, 3, 4};
  for (int i = 0; i < 5; ++i) {
    if (text == kTexts[i]) return kIndex[i];
  }
  return -1;
}

bool record_id_number(const std::string& text, jint& out) {
  char flag = 0;
  std::string value;
  if (!parseChoice(text, flag, value)) {
    std::fprintf(pfd, "%s", catalog_text(MSG_PARSE_LOG));
    std::fputs(text.c_str(), pfd);
    std::fflush(pfd);
    return false;
  }
  if (!flag) {
    std::fprintf(pfd, "%s", catalog_text(MSG_INVALID_RECORD_ID));
    std::fputs(text.c_str(), pfd);
    std::fflush(pfd);
    return false;
  }
  out = static_cast<jint>(std::atoi(value.c_str()));
  return true;
}

}  // namespace nxjni
