// MisImpl: what the system knows about object names on the management
// information server, finding its logs, converting notification attribute
// lists, and the two requests that change records there (clear, delete).
// Static functions only.
#pragma once

#include <list>
#include <string>

#include "platform/management_platform.h"

class Asn1Value;
class Asn1ValueArray;
class OidArray;
class Platform;

class MisImpl {
 public:
  MisImpl() = delete;

  // Names (object name texts such as /systemId=name:"a"/logId=string:"L").
  static std::string o2f(const Asn1Value& object_instance);
  // Thin wrappers over ObjectName (model/object_name.h); texts by value.
  // The name text of a printed distinguished name; "" when it is not one.
  static std::string my_oi2fdn(const char* printed_name);
  // "" when a part is not a value.
  static std::string create_fdn(const std::string& mis, const std::string& log,
                                const std::string& id);
  // A name that does not parse empties all three; an empty one changes none.
  static void get_mis_and_log_and_id_from_fdn(const DataUnit& name, std::string& mis,
                                              std::string& log, std::string& id);
  static std::string get_local_mis_name();
  static void get_local_mis_name(char* buffer);

  // Log discovery and this application's event settings on the MIS.
  static std::list<std::string> find_logs(const DataUnit& mis_name);
  static bool set_log_object_classes();

  // Notification attribute lists into parallel name and value-text lists.
  static bool parse_attribute_list(const Asn1Value& list, OidArray& ids, Asn1ValueArray& values);
  static bool parse_attribute_list_avc(const Asn1Value& list, OidArray& ids,
                                       Asn1ValueArray& values);
  static void convert(OidArray& ids, Asn1ValueArray& values, std::list<std::string>& names,
                      std::list<std::string>& texts);

  // Requests to the MIS.
  static bool send_clear_alarm(Platform& platform, const std::string& record_name);
  static bool delete_alarm(const std::string& record_name);

};
