#include "service/state_changes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "model/alarm_record.h"
#include "model/text_notation.h"
#include "platform/management_platform.h"
#include "service/mis_impl.h"

namespace {

constexpr double kTimeout = -12345.0;
const char kNoTime[] = "default : NULL";

}  // namespace

std::string state_change_time() {
  // The precise clock, as Java's currentTimeMillis reads it: time() reads a
  // coarse one that can lag a few milliseconds behind, and so give the
  // second before a time a caller took just before this call.
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[64];  // room for any int values; a valid time takes 14 digits
  std::snprintf(text, sizeof text, "%4d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return std::string(text, std::min<std::size_t>(14, std::strlen(text)));
}

AttributeValues state_change_values(StateChange change, const std::string* text,
                                    const std::string& time, const std::string& user) {
  const std::string stamp = "timeInfo: \"" + time + "\"";
  AttributeValues values;
  auto set = [&](AlarmAttributeId state, const char* value, AlarmAttributeId text_id,
                 AlarmAttributeId time_id, AlarmAttributeId operator_id) {
    values.emplace_back(state, value);
    // Texts and operators in value notation, quoted: the MIS unquotes them
    // once, so whatever the operator wrote (quotes too) is what is stored.
    if (text) values.emplace_back(text_id, text_notation(*text));
    values.emplace_back(time_id, stamp);
    values.emplace_back(operator_id, text_notation(user));
  };
  auto reset = [&](AlarmAttributeId state, const char* value, AlarmAttributeId operator_id,
                   AlarmAttributeId time_id) {
    values.emplace_back(state, value);
    values.emplace_back(operator_id, text_notation(""));
    values.emplace_back(time_id, kNoTime);
  };
  switch (change) {
    case StateChange::ack:
      set(ATTR_ACK_STATE, "acked", ATTR_ACK_TEXT, ATTR_ACK_TIME, ATTR_ACK_OPERATOR);
      break;
    case StateChange::clear:
      set(ATTR_CLEAR_STATE, "cleared", ATTR_CLEAR_TEXT, ATTR_CLEAR_TIME, ATTR_CLEAR_OPERATOR);
      break;
    case StateChange::display:
      set(ATTR_DISPLAY_STATE, "displayed", ATTR_DISPLAY_TEXT, ATTR_DISPLAY_TIME, ATTR_DISPLAY_OPERATOR);
      break;
    case StateChange::unack:
      reset(ATTR_ACK_STATE, "unAcked", ATTR_ACK_OPERATOR, ATTR_ACK_TIME);
      break;
    case StateChange::unclear:
      reset(ATTR_CLEAR_STATE, "unCleared", ATTR_CLEAR_OPERATOR, ATTR_CLEAR_TIME);
      break;
    case StateChange::undisplay:
      reset(ATTR_DISPLAY_STATE, "unDisplayed", ATTR_DISPLAY_OPERATOR, ATTR_DISPLAY_TIME);
      break;
  }
  return values;
}

std::string record_object_name(const std::string& mis_name, const std::string& log_name,
                               const std::string& record_id) {
  // The record brings each text into value notation, as it does for reads.
  const AlarmRecord record(mis_name, log_name, record_id);
  if (!record.is_initialized()) return std::string();
  return MisImpl::create_fdn("name:\"" + record.get_mis_name() + "\"", record.get_log_name(),
                             record.get_record_id());
}

bool store_record_values(const std::string& object_name, const AttributeValues& values) {
  if (object_name.empty()) return false;
  Image image(DataUnit(object_name), nxmp::EMPTY, Platform::def_platform);
  if (image.get_error_type() != 0) {
    image.reset_error();
    return false;
  }
  if (!image.boot(kTimeout)) {
    image.reset_error();
    return false;
  }
  for (const auto& [id, value] : values) {
    if (!image.set_str(DataUnit(AlarmAttribute::get_attribute_name(id)), DataUnit(value), nxmp::REPLACE, 0)) {
      image.reset_error();
      return false;
    }
  }
  if (!image.store(kTimeout)) {
    image.reset_error();
    return false;
  }
  return true;
}
