#include "nxmp/asn1_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nxmp/oid.h"

namespace {

const std::string X721 = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":";

Asn1Type attribute_type(const char* oid) {
  return Asn1Type::lookup_type("attributeValue", "attributeId", Oid(oid).to_value());
}

Asn1Type event_info(const char* name) {
  Oid oid;
  EXPECT_TRUE(OidNameRegistry::reg_n2o(name, oid)) << name;
  return Asn1Type::lookup_type("eventInfo", "eventType", oid.to_value());
}

// format then parse gives the value back, and formatting is stable.
void expect_round_trip(const Asn1Type& type, const Asn1Value& v) {
  std::string text;
  ASSERT_TRUE(type.format(v, text)) << text;
  Asn1Value back = type.parse(text);
  ASSERT_FALSE(back.is_null()) << text;
  EXPECT_EQ(back, v) << text;
  std::string again;
  type.format(back, again);
  EXPECT_EQ(again, text);
}

TEST(Asn1Type, LookupByAttributeAndEventType) {
  EXPECT_EQ(attribute_type("2.9.3.2.7.17").name(), "PerceivedSeverity");
  EXPECT_EQ(attribute_type("2.9.3.2.7.61").name(), "ObjectInstance");
  EXPECT_EQ(attribute_type("1.3.6.1.4.1.32473.1.7.3").name(), "StateTime");
  EXPECT_EQ(event_info((X721 + "communicationsAlarm").c_str()).name(), "AlarmInfo");
  EXPECT_EQ(event_info("\"NX-ALARM\":internetAlarm").name(), "AlarmInfo");
  EXPECT_TRUE(attribute_type("1.2.3").is_null());
  // An attribute OID is no event type, and other table pairs are unknown.
  EXPECT_TRUE(Asn1Type::lookup_type("eventInfo", "eventType", Oid("2.9.3.2.7.17").to_value()).is_null());
  EXPECT_TRUE(Asn1Type::lookup_type("actionInfo", "actionType", Oid("2.9.3.2.7.17").to_value()).is_null());
}

TEST(Asn1Type, SimpleTypesRoundTrip) {
  expect_round_trip(attribute_type("2.9.3.2.7.17"), Asn1Value::encode_int(3, Asn1Value::TAG_ENUM));
  expect_round_trip(attribute_type("2.9.3.2.7.11"), Asn1Value::encode_bool(true));
  expect_round_trip(attribute_type("2.9.3.2.7.16"), Asn1Value::encode_int(-77));
  expect_round_trip(attribute_type("2.9.3.2.7.7"),
                    Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "say \"hi\", {then} : go"));
  expect_round_trip(attribute_type("2.9.3.2.7.13"), Asn1Value::encode_octets(Asn1Value::TAG_GENTIME, "20240101Z"));
  expect_round_trip(attribute_type("2.9.3.2.7.14"), Oid("2.9.3.2.10.4").to_value(Asn1Value::context_tag(6)));
  expect_round_trip(attribute_type("2.9.3.2.7.14"), Asn1Value::encode_int(9, Asn1Value::context_tag(7)));
  expect_round_trip(attribute_type("2.9.3.2.7.18"), Oid("1.2.840.99").to_value());
  expect_round_trip(attribute_type("1.3.6.1.4.1.32473.1.7.3"), Asn1Value::encode_null(Asn1Value::TAG_CTX1));
  expect_round_trip(attribute_type("1.3.6.1.4.1.32473.1.7.1"), Asn1Value::encode_int(1));

  std::string text;
  attribute_type("2.9.3.2.7.17").format(Asn1Value::encode_int(2, Asn1Value::TAG_ENUM), text);
  EXPECT_EQ(text, "major");
  attribute_type("2.9.3.2.7.14").format(Oid("2.9.3.2.10.2").to_value(Asn1Value::context_tag(6)), text);
  EXPECT_EQ(text, "globalForm : " + X721 + "communicationsAlarm");
  attribute_type("2.9.3.2.7.18").format(Oid("1.2.840.99").to_value(), text);
  EXPECT_EQ(text, "globalValue : { 1 2 840 99 }");
}

// Object instances of the naming attributes the platform knows, written one
// attribute value per line; any other naming attribute names nothing.
TEST(Asn1Type, ObjectInstancesRoundTripOneAttributeValuePerLine) {
  const Asn1Type type = attribute_type("2.9.3.2.7.61");
  const Asn1Value oi = fdn2oi(DataUnit("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"/logRecordId=number:42"));
  const Asn1Value card = fdn2oi(DataUnit("/systemId=name:\"lyon\"/equipmentId=string:\"shelf-2\""));
  // Line breaks inside a quoted name are part of the value, not layout.
  for (const Asn1Value& v :
       {oi, card, fdn2oi(DataUnit("logId=number:5")), fdn2oi(DataUnit("/systemId=name:\"two\nlines\""))}) {
    ASSERT_FALSE(v.is_null());
    expect_round_trip(type, v);
  }
  std::string text;
  type.format(oi, text);
  EXPECT_EQ(text.rfind("distinguishedName", 0), 0u) << text;
  EXPECT_NE(text.find("attributeId " + X721 + "systemId,\n"), std::string::npos) << text;
  EXPECT_NE(text.find("attributeValue name : \"alpha\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("attributeValue number : 42\n"), std::string::npos) << text;
  type.format(card, text);
  EXPECT_NE(text.find("equipmentId,\n"), std::string::npos) << text;
  EXPECT_NE(text.find("attributeValue string : \"shelf-2\""), std::string::npos) << text;
  EXPECT_NE(card.encoding(), fdn2oi(DataUnit("/systemId=name:\"lyon\"/linkId=string:\"shelf-2\"")).encoding());
  EXPECT_TRUE(fdn2oi(DataUnit("/systemId=name:\"lyon\"/fooId=string:\"x\"")).is_null());
}

TEST(Asn1Type, AlarmInformationRoundTripsWithOpenTypes) {
  const Asn1Type info = event_info((X721 + "equipmentAlarm").c_str());
  const Asn1Value known_extension = Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Oid("1.3.6.1.4.1.32473.1.7.8").to_value(), Asn1Value::encode_bool(true, Asn1Value::TAG_CTX1),
                           Asn1Value::encode_tagged(Asn1Value::TAG_CTX2,
                                                    Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "root"))});
  const Asn1Value unknown_extension = Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Oid("1.2.3.4").to_value(),
                           Asn1Value::encode_tagged(Asn1Value::TAG_CTX2, Asn1Value::encode_int(77))});
  const Asn1Value v = Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ,
      {Oid("2.9.3.2.0.0.3").to_value(),
       Asn1Value::encode_constructed(Asn1Value::TAG_CTX1, {Asn1Value::encode_int(4)}),
       Asn1Value::encode_int(1, Asn1Value::TAG_ENUM),
       Asn1Value::encode_bool(false),
       Asn1Value::encode_int(2, Asn1Value::TAG_CTX3),
       Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "fan stopped"),
       Asn1Value::encode_constructed(Asn1Value::context_tag(10), {known_extension, unknown_extension})});
  expect_round_trip(info, v);
  std::string text;
  info.format(v, text);
  EXPECT_NE(text.find("information \"root\""), std::string::npos) << text;
  EXPECT_NE(text.find("information '02014D'H"), std::string::npos) << text;
}

TEST(Asn1Type, ClearNotificationTextParses) {
  const Asn1Type info = event_info((X721 + "communicationsAlarm").c_str());
  // As the clear request writes it: no existing additional information.
  std::string text = "{ probableCause globalValue : { 2 9 3 2 0 0 3 }, perceivedSeverity cleared,";
  text += " additionalInformation {\t{\n\t\tidentifier \"NX-ALARM\":clearOperator,\n\t\tsignificance FALSE,";
  text += "\n\t\tinformation \"jdoe\"\n\t}\n}}";
  Asn1Value v = info.parse_value(DataUnit(), text.c_str(), 9).determine_real_val(0, 0);
  ASSERT_FALSE(v.is_null());
  long severity = -1;
  ASSERT_TRUE(v.first_component().next_component().decode_int(severity));
  EXPECT_EQ(severity, 5);
  Asn1Value ext = v.first_component().next_component().next_component().first_component();
  std::string user;
  ASSERT_TRUE(ext.first_component().next_component().next_component().tagged_component().decode_octets(user));
  EXPECT_EQ(user, "jdoe");
  expect_round_trip(info, v);

  // With existing additional information: its value notation with the last
  // "}" replaced by "," and the extension appended.
  std::string existing;
  const Asn1Value set = v.first_component().next_component().next_component();
  ASSERT_TRUE(Asn1Type::by_name("AdditionalInformation").format(set.retag(Asn1Value::TAG_SET), existing));
  existing.back() = ',';
  std::string text2 = "{ perceivedSeverity cleared, additionalInformation " + existing;
  text2 += " \t{\n\t\tidentifier \"NX-ALARM\":clearOperator,\n\t\tsignificance FALSE,\n\t\tinformation \"ops\"\n\t}\n},";
  text2 += " probableCause localValue : 12}";
  Asn1Value v2 = info.parse(text2);
  ASSERT_FALSE(v2.is_null()) << text2;
  Asn1Value set2 = v2.first_component().next_component().next_component();
  EXPECT_EQ(set2.num_comps(), 2);
  expect_round_trip(info, v2);
}

TEST(Asn1Type, ParseRefusesWhatIsNotAValue) {
  const Asn1Type info = Asn1Type::by_name("AlarmInfo");
  for (const char* bad : {"", "{", "{ perceivedSeverity cleared }",  // probableCause missing
                          "{ probableCause localValue : 1, perceivedSeverity cleared } extra",
                          "{ probableCause localValue : 1, perceivedSeverity loud }",
                          "{ probableCause localValue : 1, probableCause localValue : 2, perceivedSeverity major }",
                          "{ probableCause globalValue : \"X.721\":nothing, perceivedSeverity major }",
                          "{ probableCause localValue : 99999999999999999999, perceivedSeverity major }",
                          "{ probableCause localValue : 1, perceivedSeverity major, additionalText \"open }"}) {
    EXPECT_TRUE(info.parse(bad).is_null()) << bad;
  }
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "{";
  EXPECT_TRUE(Asn1Type::by_name("AdditionalInformation").parse(deep).is_null());
  EXPECT_TRUE(Asn1Type().parse("1").is_null());
}

TEST(Asn1Type, FormatValueMarksMismatchesAndRespectsRoom) {
  const Asn1Type severity = attribute_type("2.9.3.2.7.17");
  char buf[64];
  EXPECT_EQ(severity.format_value(Asn1Value::encode_int(4, Asn1Value::TAG_ENUM), buf, sizeof buf, 0, 0, DataUnit(), 25), 7);
  EXPECT_STREQ(buf, "warning");
  // Wrong tag: the bytes are shown and the result says so.
  EXPECT_EQ(severity.format_value(Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "x"), buf, sizeof buf, 0, 0,
                                  DataUnit(), 25),
            -1);
  EXPECT_STREQ(buf, "'190178'H");
  // An implicit outer tag is accepted when asked for.
  EXPECT_EQ(severity.format_value(Asn1Value::encode_int(4, Asn1Value::TAG_CTX1), buf, sizeof buf, 0, 1, DataUnit(), 25),
            7);
  // Cut to the room, NUL-terminated.
  EXPECT_EQ(attribute_type("2.9.3.2.7.7")
                .format_value(Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, std::string(100, 'z')), buf, 10, 0,
                              0, DataUnit(), 25),
            -1);
  EXPECT_EQ(std::string(buf), "\"zzzzzzzz");
}

}  // namespace
