#include "nxmp/oid.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Oid, DottedTextAndOctetsRoundTrip) {
  for (const char* text : {"2.9.3.2.7.4", "0.0", "1.39", "2.100.3", "1.3.6.1.4.1.32473.1.7.12",
                           "2.9.18446744073709551615"}) {
    Oid oid(text);
    ASSERT_FALSE(oid.empty()) << text;
    EXPECT_EQ(oid.dotted(), text);
    Oid back = Oid::from_octets(oid.octets().data(), oid.octets().size());
    EXPECT_EQ(back, oid);
  }
  EXPECT_EQ(Oid("2.9.3.2.7.4").octets(), std::string("\x59\x03\x02\x07\x04", 5));
  EXPECT_EQ(Oid("2.100.3").octets(), std::string("\x81\x34\x03", 3));
  EXPECT_NE(Oid("2.9.3.2.7.4"), Oid("2.9.3.2.7.40"));
}

TEST(Oid, MalformedTextAndOctetsGiveEmpty) {
  for (const char* text : {"", "2", "3.1", "1.40", "2..3", "2.9.", ".2.9", "2.x", "2.09", "2.9 3",
                           "2.9.18446744073709551616"}) {
    EXPECT_TRUE(Oid(text).empty()) << text;
  }
  EXPECT_TRUE(Oid(static_cast<const char*>(nullptr)).empty());
  EXPECT_TRUE(Oid::from_octets("\x81", 1).empty());      // unterminated
  EXPECT_TRUE(Oid::from_octets("\x80\x01", 2).empty());  // non-minimal
  EXPECT_TRUE(Oid::from_octets("", 0).empty());
  EXPECT_TRUE(Oid::from_value(Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {})).empty());
}

TEST(Oid, FormatRespectsRoom) {
  Oid oid("2.9.3.2.7.65");
  char buf[32];
  EXPECT_EQ(oid.format(buf, sizeof buf), 12);
  EXPECT_STREQ(buf, "2.9.3.2.7.65");
  EXPECT_EQ(oid.format(buf, 12), -1);  // no room for the NUL
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(oid_dot2space("2.9.3"), "2 9 3");
}

TEST(OidNameRegistry, NamesBothWaysAndFailsWhenUnset) {
  std::string name;
  ASSERT_TRUE(OidNameRegistry::reg_o2n(Oid("2.9.3.2.7.17"), name));
  EXPECT_EQ(name, "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":perceivedSeverity");
  Oid oid;
  ASSERT_TRUE(OidNameRegistry::reg_n2o("\"NX-ALARM\":ackState", oid));
  ASSERT_TRUE(OidNameRegistry::reg_o2n(oid, name));
  EXPECT_EQ(name, "\"NX-ALARM\":ackState");
  ASSERT_TRUE(OidNameRegistry::reg_n2o("mosiStateID", oid));  // bare and unique
  ASSERT_TRUE(OidNameRegistry::reg_o2n(oid, name));
  EXPECT_EQ(name, "\"NX Nerve Center\":mosiStateID");
  EXPECT_FALSE(OidNameRegistry::reg_n2o("\"X.721\":perceivedSeverity", oid));
  EXPECT_FALSE(OidNameRegistry::reg_o2n(Oid("1.2.3"), name));

  OidNameRegistry::set(nullptr);
  name = "kept";
  EXPECT_FALSE(OidNameRegistry::reg_o2n(Oid("2.9.3.2.7.17"), name));
  EXPECT_EQ(name, "kept");
  // The built-in names do not depend on the installed registry.
  EXPECT_TRUE(oid2name_nonmdr(Oid("2.9.3.2.7.17"), name));
  OidNameRegistry::set(OidNameRegistry::metadata());
  EXPECT_TRUE(OidNameRegistry::reg_o2n(Oid("2.9.3.2.7.17"), name));
}

TEST(OidNameRegistry, MetadataHoldsTheStateAttributesAndRecordClasses) {
  Oid oid;
  for (const char* state : {"ackState", "ackText", "ackTime", "ackOperator", "clearState", "clearText",
                            "clearTime", "clearOperator", "displayState", "displayText", "displayTime",
                            "displayOperator"}) {
    EXPECT_TRUE(OidNameRegistry::reg_n2o(std::string("\"NX-ALARM\":") + state, oid)) << state;
  }
  for (const char* name : {"\"NX-ALARM\":nxAlarmRecord", "\"NX-ALARM\":nxInternetAlarmRecord",
                           "\"NX Nerve Center\":nerveCenterAlarmRecord", "\"NX-ALARM\":internetAlarm",
                           "\"NX Nerve Center\":nerveCenterAlarm", "\"NX Nerve Center\":mosiSeverity",
                           "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":communicationsAlarm"}) {
    EXPECT_TRUE(OidNameRegistry::reg_n2o(name, oid)) << name;
  }
  ASSERT_TRUE(OidNameRegistry::reg_n2o("\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":objectClass", oid));
  EXPECT_EQ(oid.dotted(), "2.9.3.2.7.65");
}

}  // namespace
