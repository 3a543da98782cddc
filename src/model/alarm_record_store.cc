// AlarmRecord's state changes on the MIS: writing pending attribute values
// to the record's object, and asking for a clear.
#include "model/alarm_record.h"
#include "platform/management_platform.h"
#include "service/mis_impl.h"

namespace {

constexpr double kTimeout = -12345.0;

std::string object_name(const AlarmRecord& record) {
  return MisImpl::create_fdn("name:\"" + record.get_mis_name() + "\"", record.get_log_name(),
                             record.get_record_id());
}

}  // namespace

bool AlarmRecord::store() {
  if (!initialized_) return false;
  Image image(DataUnit(object_name(*this)), nxmp::EMPTY, Platform::def_platform);
  if (image.get_error_type() != 0) {
    image.reset_error();
    return false;
  }
  if (!image.boot(kTimeout)) {
    image.reset_error();
    return false;
  }
  for (const auto& [attribute, value] : pending_) {
    if (!image.set_str(DataUnit(attribute.get_attribute_name()), DataUnit(value), nxmp::REPLACE, 0)) {
      image.reset_error();
      return false;
    }
  }
  if (!image.store(kTimeout)) {
    image.reset_error();
    return false;
  }
  pending_.clear();
  return true;
}

bool AlarmRecord::send_clear() {
  if (!initialized_) return false;
  Platform platform = Platform::default_platform();
  return MisImpl::send_clear_alarm(platform, object_name(*this));
}
