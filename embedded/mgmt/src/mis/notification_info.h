// The information of the MIS's own notifications, ASN.1-encoded.
#pragma once

#include <string>

#include "mis/mis.h"
#include "nxmp/asn1_value.h"

namespace nxmp_mis {

// One attribute of an attribute list: its identifier and value (null when
// the attribute is unknown or the value null).
Asn1Value attribute_item(const std::string& name, const Asn1Value& value);

// Information of OBJECT_CREATED and OBJECT_DESTROYED: the attribute list.
Asn1Value attribute_list_info(const Values& values);

// Information of ATTR_CHANGED: attribute value changes, old and new.
Asn1Value value_change_info(const Values& before, const Values& after);

}  // namespace nxmp_mis
