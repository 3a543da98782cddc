#include "db/attr_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string X721 = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":";

struct Out {
  std::vector<char> buf = std::vector<char>(AttrDecoder::BUFFER_ROOM, '\0');
  AttrDecodeResult r = ATTR_DECODE_OK;
  std::string text() const { return buf.data(); }
};

Out decode(const std::string& name, const Asn1Value& v, const char* oid = "", unsigned char mdr = 1) {
  Out o;
  std::strcpy(o.buf.data(), "untouched");
  o.r = AttrDecoder::decode_attr(name, v, o.buf.data(), Oid(oid), mdr);
  return o;
}

Asn1Value integer(long n, Asn1Tag tag = Asn1Value::TAG_INT) { return Asn1Value::encode_int(n, tag); }
Asn1Value graphic(const std::string& s) { return Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, s); }

// Every row is found by its own name (none shadows another); only
// qualified names are rows.
TEST(AttrDecoder, KnownAttrsAreFoundByTheirQualifiedNames) {
  for (int i = 0; i < AttrDecoder::num_known_attrs; ++i) {
    EXPECT_EQ(AttrDecoder::well_known_attr(AttrDecoder::known_attrs[i].name), i) << AttrDecoder::known_attrs[i].name;
  }
  EXPECT_EQ(AttrDecoder::well_known_attr("perceivedSeverity"), -1);
  EXPECT_EQ(AttrDecoder::well_known_attr(nullptr), -1);
}

TEST(AttrDecoder, StatesSeverityAndIntegers) {
  EXPECT_EQ(decode("\"NX-ALARM\":ackState", integer(1)).text(), "acked");
  EXPECT_EQ(decode("\"NX-ALARM\":ackState", integer(0)).text(), "unAcked");
  EXPECT_EQ(decode("\"NX-ALARM\":clearState", integer(1)).text(), "cleared");
  EXPECT_EQ(decode("\"NX-ALARM\":displayState", integer(0)).text(), "unDisplayed");
  Out bad = decode("\"NX-ALARM\":ackState", integer(2));
  EXPECT_EQ(bad.r, ATTR_DECODE_ERROR);
  EXPECT_EQ(bad.text(), "untouched");
  EXPECT_EQ(decode("\"NX-ALARM\":ackState", graphic("")).r, ATTR_DECODE_ERROR);

  const std::string sev = X721 + "perceivedSeverity";
  const char* names[] = {"indeterminate", "critical", "major", "minor", "warning", "cleared"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(decode(sev, integer(i, Asn1Value::TAG_ENUM)).text(), names[i]);
  Out seven = decode(sev, integer(7, Asn1Value::TAG_ENUM));
  EXPECT_EQ(seven.r, ATTR_DECODE_OK);
  EXPECT_EQ(seven.text(), "unknown");
  EXPECT_EQ(decode(sev, Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {})).r, ATTR_DECODE_ERROR);

  EXPECT_EQ(decode("\"NX Nerve Center\":mosiSeverity", integer(-3)).text(), "-3");
}

TEST(AttrDecoder, TextsTimesAndRecordIds) {
  EXPECT_EQ(decode("\"NX-ALARM\":ackText", graphic("100% down")).text(), "100% down");
  EXPECT_EQ(decode("\"NX-ALARM\":ackTime", Asn1Value::encode_octets(Asn1Value::TAG_CTX0, "19990101120000Z")).text(),
            "19990101120000Z");
  EXPECT_EQ(decode("\"NX-ALARM\":clearTime", Asn1Value::encode_null(Asn1Value::TAG_CTX1)).text(), "default : NULL");
  EXPECT_EQ(decode("\"NX-ALARM\":clearTime", graphic("x")).r, ATTR_DECODE_ERROR);
  EXPECT_EQ(decode(X721 + "eventTime", Asn1Value::encode_octets(Asn1Value::TAG_GENTIME, "20240101000000Z")).text(),
            "20240101000000Z");

  const std::string rec = X721 + "logRecordId";
  EXPECT_EQ(decode(rec, integer(42)).text(), "number:42");
  EXPECT_EQ(decode(rec, graphic("abc")).text(), "string:abc");
  EXPECT_EQ(decode(rec, integer(-1)).r, ATTR_DECODE_ERROR);

  const std::string add = X721 + "additionalText";
  EXPECT_EQ(decode(add, graphic("x")).text(), "\"x\"");
  EXPECT_EQ(decode(add, graphic("\"quoted\"")).text(), "\"quoted\"");
  EXPECT_EQ(decode(add, graphic("\"open")).text(), "\"open\"");
}

TEST(AttrDecoder, ObjectIdentifierForms) {
  const Asn1Value comm = Oid("2.9.3.2.10.2").to_value(Asn1Value::context_tag(6));
  EXPECT_EQ(decode(X721 + "eventType", comm).text(), "globalForm : " + X721 + "communicationsAlarm");
  EXPECT_EQ(decode(X721 + "eventType", integer(3, Asn1Value::context_tag(7))).text(), "localForm : 3");
  EXPECT_EQ(decode(X721 + "eventType", integer(3)).r, ATTR_DECODE_ERROR);
  const Asn1Value unnamed = Oid("1.2.3.4").to_value(Asn1Value::context_tag(6));
  EXPECT_EQ(decode(X721 + "eventType", unnamed).text(), "globalForm : 1.2.3.4");
  EXPECT_EQ(decode(X721 + "eventType", unnamed, "", 0).r, ATTR_DECODE_UNKNOWN);
  EXPECT_EQ(decode(X721 + "eventType", Asn1Value::encode_octets(Asn1Value::context_tag(6), "\x81")).r,
            ATTR_DECODE_ERROR);

  const std::string cause = X721 + "probableCause";
  EXPECT_EQ(decode(cause, Oid("1.2.3.4").to_value()).text(), "globalValue:{1 2 3 4}");
  EXPECT_EQ(decode(cause, Oid("1.2.3.4").to_value(), "", 0).text(), "globalValue:{1 2 3 4}");
  EXPECT_EQ(decode(cause, integer(12)).text(), "localValue : 12");

  const std::string moc = X721 + "managedObjectClass";
  EXPECT_EQ(decode(moc, Oid("2.9.3.2.3.6").to_value(Asn1Value::TAG_CTX0)).text(), "globalForm : " + X721 + "log");
  EXPECT_EQ(decode(moc, integer(5, Asn1Value::TAG_CTX1)).text(), "localForm : 5");
  EXPECT_EQ(decode(moc, graphic("router")).text(), "router");
  EXPECT_EQ(decode(X721 + "nameBinding", Oid("1.2.3").to_value()).text(), "1.2.3");
  EXPECT_EQ(decode(X721 + "nameBinding", Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {})).r,
            ATTR_DECODE_ERROR);
}

TEST(AttrDecoder, FallbacksForNamesOutsideTheTable) {
  // A bare name never matches: GraphicStrings are copied, others formatted by type.
  EXPECT_EQ(decode("perceivedSeverity", graphic("major")).text(), "major");
  Out typed = decode("perceivedSeverity", integer(2, Asn1Value::TAG_ENUM), "2.9.3.2.7.17");
  EXPECT_EQ(typed.r, ATTR_DECODE_OK);
  EXPECT_EQ(typed.text(), "major");
  EXPECT_EQ(decode("ackState", integer(1), "1.3.6.1.4.1.32473.1.7.1").text(), "acked");
  EXPECT_EQ(decode("perceivedSeverity", integer(2, Asn1Value::TAG_ENUM), "2.9.3.2.7.17", 0).r, ATTR_DECODE_UNKNOWN);
  // Unknown attribute: its bytes, still a text.
  EXPECT_EQ(decode("mystery", integer(1), "1.2.3").text(), "'020101'H");

  // A managed-object instance as GraphicString is stripped of attribute names.
  const std::string moi = X721 + "managedObjectInstance";
  EXPECT_EQ(decode(moi, graphic("attributeValue name:x")).text(), "attributeValuex");
  Asn1Value oi = fdn2oi(DataUnit("/systemId=name:\"alpha\""));
  Out formatted = decode(moi, oi, "2.9.3.2.7.61");
  EXPECT_EQ(formatted.r, ATTR_DECODE_OK);
  EXPECT_NE(formatted.text().find("distinguishedName"), std::string::npos);
  EXPECT_NE(formatted.text().find("name : \"alpha\""), std::string::npos);
}

TEST(AttrDecoder, OutputIsBoundedByTheBufferRoom) {
  const std::string huge(AttrDecoder::BUFFER_ROOM * 2, 'y');
  Out o = decode("\"NX-ALARM\":ackText", graphic(huge));
  EXPECT_EQ(o.r, ATTR_DECODE_OK);
  EXPECT_EQ(o.text().size(), AttrDecoder::BUFFER_ROOM - 1);
}

std::string strip(std::string s) {
  std::vector<char> b(s.begin(), s.end());
  b.push_back('\0');
  strip_attribute_names(b.data());
  return b.data();
}

TEST(StripAttributeNames, DropsTheNameUpToTheColon) {
  EXPECT_EQ(strip("attributeValue name:x"), "attributeValuex");
  EXPECT_EQ(strip("no keyword: here"), "no keyword: here");
  EXPECT_EQ(strip("a attributeValue b"), "a attributeValue b");
  EXPECT_EQ(strip("{attributeValue s:\"a\"},{attributeValue n:5}"), "{attributeValue\"a\"},{attributeValue5}");
  // The colon belongs to the second occurrence: nothing dropped after the first.
  EXPECT_EQ(strip("attributeValue x attributeValue y:z"), "attributeValue x attributeValuez");
  EXPECT_EQ(strip(""), "");
}

}  // namespace
