// The information of the MIS's own notifications, ASN.1-encoded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mis/mis.h"
#include "nxmp/asn1_value.h"

namespace nxmp_mis {

// One attribute of an attribute list: its identifier and value (null when
// the attribute is unknown or the value null).
Asn1Value attribute_item(const std::string& name, const Asn1Value& value);

// Information of OBJECT_CREATED and OBJECT_DESTROYED: the attribute list.
Asn1Value attribute_list_info(const Values& values);

// The same for a record whose two ids (logRecordId, notificationIdentifier)
// are given only when it is stored: made ahead from the other values,
// completed by with_ids.
class CreationInfo {
 public:
  CreationInfo() = default;
  explicit CreationInfo(const Values& values);
  Asn1Value with_ids(long long record_id, long long notification_id) const;

 private:
  // The list's items before the record id, between the two ids and after
  // them, encoded: a record's information is then joined, not re-encoded.
  std::string before_, between_, after_;
  bool has_record_id_ = false, has_notification_id_ = false;
};

// Information of ATTR_CHANGED: attribute value changes, old and new.
Asn1Value value_change_info(const Values& before, const Values& after);

}  // namespace nxmp_mis
