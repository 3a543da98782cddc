// Image: a client-side picture of one managed object of the MIS.
//
// The name is an object name text (/systemId=name:"a"/logId=string:"L"/
// logRecordId=number:7); the system object, the application objects, logs
// and log records are known. boot loads the attributes, set_str stages a
// change, store writes the staged changes in one transaction and destroy
// deletes the object. Each emits the matching MIS notification.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "nxmp/asn1_value.h"
#include "nxmp/data_unit.h"
#include "nxmp/error.h"
#include "nxmp/platform.h"

namespace nxmp_mis {
struct ObjectRef;
}

class Image : public Error {
 public:
  // get() flags.
  static constexpr int NAME_FORM = 0;           // names, class and event-type names
  static constexpr int VALUE_NOTATION = 0x10008;  // ASN.1 value notation

  Image();
  Image(const DataUnit& objname, const DataUnit& objclass, Platform& platform);
  Image(const Image& other);
  Image& operator=(const Image& other);
  ~Image();

  bool boot(double timeout);
  bool store(double timeout);
  bool destroy(double timeout);

  // The attribute's value, empty when absent or not booted.
  DataUnit get(const DataUnit& attribute, int flags) const;
  // Stages a new value for store(); mode must be "REPLACE".
  bool set_str(const DataUnit& attribute, const DataUnit& value, const DataUnit& mode, int flags);

  // Emits a notification with this object as its source.
  bool send_event(const DataUnit& event_type, const Asn1Value& info, const Asn1Value& extra);

  // The object instance (distinguished name) value, null when unnamed.
  Asn1Value get_oi() const;
  DataUnit get_objname() const { return objname_; }
  DataUnit get_objclass() const { return objclass_; }

 protected:
  DataUnit objname_;

 private:
  DataUnit objclass_;
  Platform platform_;
  std::unique_ptr<nxmp_mis::ObjectRef> ref_;
  std::map<std::string, std::string> attributes_;  // booted values, by bare name
  std::map<std::string, std::string> staged_;      // set_str values, parsed
  bool booted_ = false;
};
