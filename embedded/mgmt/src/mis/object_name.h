// Object names of the embedded MIS and their text form:
//   /systemId=name:"S"                                    the system
//   /systemId=name:"S"/applicationId=string:"A"           an application
//   /systemId=name:"S"/logId=string:"L"  (or number:N)    a log
//   .../logId=.../logRecordId=number:N                    a log record
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nxmp_mis {

struct ObjectRef {
  enum class Kind { kSystem, kApplication, kLog, kRecord };
  Kind kind = Kind::kSystem;
  std::string system;
  std::string application;
  std::string log_id;
  bool log_is_number = false;
  long record_id = 0;
};

// Null when the text is not one of the forms above. Quoted parts hold no
// double quote; numbers are decimal and fit a long.
std::optional<ObjectRef> parse_object_name(std::string_view text);
std::string format_object_name(const ObjectRef& ref);
// The log a record or log belongs to, as a log reference.
ObjectRef log_of(const ObjectRef& ref);

}  // namespace nxmp_mis
