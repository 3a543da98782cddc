// AttrDecoder: one ASN.1 attribute value into the text an AlarmRecord stores
// and the Java layer shows. Well-known attributes have their own decoders;
// other values are copied when they are GraphicStrings and otherwise
// written in the platform's value notation.
#pragma once

#include <cstddef>
#include <string>

#include "platform/management_platform.h"

enum AttrDecodeResult {
  ATTR_DECODE_OK = 0,       // the text was written
  ATTR_DECODE_ERROR = 1,    // the value does not have the expected form
  ATTR_DECODE_UNKNOWN = 2,  // a name or a type is not available without metadata
};

// A decoder writes a NUL-terminated text at the start of buffer, which must
// hold AttrDecoder::BUFFER_ROOM bytes; longer texts are cut to fit.
using AttrDecodeFunction = AttrDecodeResult (*)(const Asn1Value& value, char* buffer,
                                                unsigned char use_mdr);

struct KnownAttr {
  const char* name;  // fully qualified: "document":attribute
  AttrDecodeFunction decoder;
};

extern const KnownAttr knownAttrs[];

class AttrDecoder {
 public:
  AttrDecoder() = delete;

  // Room every decoder may use in its output buffer, NUL included.
  static constexpr std::size_t BUFFER_ROOM = 10000;

  static const KnownAttr* const known_attrs;
  static const int num_known_attrs;

  static AttrDecodeResult decode_attr(const char* name, const Asn1Value& value, char* buffer,
                                      const Oid& oid, unsigned char use_mdr);
  static AttrDecodeResult decode_attr(const std::string& name, const Asn1Value& value, char* buffer,
                                      const Oid& oid, unsigned char use_mdr) {
    return decode_attr(name.c_str(), value, buffer, oid, use_mdr);
  }
  // Index of the knownAttrs row named exactly name; -1 when none.
  static int well_known_attr(const char* name);
};

AttrDecodeResult decode_ackState(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_clearState(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_displayState(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_Choice_Time(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_GraphicString(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_integer(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_eventTime(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_loggingTime(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_logRecordId(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_eventType(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_PerceivedSeverity(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_ProbableCause(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_managedObjectClass(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_nameBindings(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_objectClass(const Asn1Value& value, char* buffer, unsigned char use_mdr);
AttrDecodeResult decode_additionalText(const Asn1Value& value, char* buffer, unsigned char use_mdr);

// Removes, after each "attributeValue", the text up to and including the
// first following colon when that colon comes before the next
// "attributeValue"; edits the NUL-terminated text in place.
void strip_attribute_names(char* text);
