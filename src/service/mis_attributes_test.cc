#include <gtest/gtest.h>

#include <list>
#include <string>

#include "service/mis_impl.h"

namespace {

const std::string X721 = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":";

Asn1Value attribute(const char* oid, const Asn1Value& value) {
  return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {Oid(oid).to_value(Asn1Value::TAG_CTX0), value});
}

TEST(MisImplO2f, FullAndLocalNames) {
  const char* full = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"/logRecordId=number:42";
  Asn1Value oi = fdn2oi(DataUnit(full));
  ASSERT_FALSE(oi.is_null());
  EXPECT_EQ(oi.tag(), Asn1Value::TAG_CTX2);
  EXPECT_EQ(MisImpl::o2f(oi), full);

  EXPECT_EQ(MisImpl::o2f(fdn2oi(DataUnit("/systemId=name:\"alpha\"/logId=number:3"))),
            "/systemId=name:\"alpha\"/logId=number:3");
  Asn1Value local = fdn2oi(DataUnit("logId=string:\"AlarmLog\"/logRecordId=number:7"));
  EXPECT_EQ(local.tag(), Asn1Value::TAG_CTX4);
  EXPECT_EQ(MisImpl::o2f(local), "logId=string:\"AlarmLog\"/logRecordId=number:7");
  // Qualified attribute names and dotted OIDs give the same instance.
  EXPECT_EQ(fdn2oi(DataUnit("/" + X721 + "systemId=name:\"alpha\"/2.9.3.2.7.2=string:\"AlarmLog\"")),
            fdn2oi(DataUnit("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"")));
  // Through its BER encoding, as the database keys it.
  EXPECT_EQ(MisImpl::o2f(Asn1Value(oi.encoding())), full);
}

TEST(MisImplO2f, OtherIdentifiersLeaveTheirRelativeNameEmpty) {
  Asn1Value oi = fdn2oi(DataUnit("/systemId=name:\"a\"/discriminatorId=number:1/logId=number:2"));
  ASSERT_FALSE(oi.is_null());
  EXPECT_EQ(MisImpl::o2f(oi), "/systemId=name:\"a\"//logId=number:2");
}

TEST(Fdn2oi, RefusesMalformedNames) {
  for (const char* bad : {"/systemId", "/=x", "/systemId=name:\"a", "/nosuchAttr=number:1", "/logId=number:x",
                          "/systemId=name:\"a\"//logId=number:1", "/logId=string:\"a\"b\""}) {
    EXPECT_TRUE(fdn2oi(DataUnit(bad)).is_null()) << bad;
  }
  // Quoted slashes stay inside their value.
  EXPECT_EQ(MisImpl::o2f(fdn2oi(DataUnit("/systemId=name:\"a/b\""))), "/systemId=name:\"a/b\"");
  EXPECT_EQ(fdn2oi(DataUnit("")).num_comps(), 0);
}

TEST(MisImplAttributes, ParseAndConvertAnAlarmRecordCreation) {
  Asn1Value list = Asn1Value::encode_constructed(
      Asn1Value::TAG_SET,
      {attribute("2.9.3.2.7.65", Oid("1.3.6.1.4.1.32473.1.3.1").to_value(Asn1Value::TAG_CTX0)),
       attribute("2.9.3.2.7.17", Asn1Value::encode_int(2, Asn1Value::TAG_ENUM)),
       attribute("1.3.6.1.4.1.32473.1.7.1", Asn1Value::encode_int(1)),
       attribute("2.9.3.2.7.7", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "disk full"))});
  OidArray ids;
  Asn1ValueArray values;
  ASSERT_TRUE(MisImpl::parse_attribute_list(Asn1Value(list.encoding()), ids, values));
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(ids[1], Oid("2.9.3.2.7.17"));

  std::list<std::string> names, texts;
  MisImpl::convert(ids, values, names, texts);
  EXPECT_EQ(ids.size(), 0u);
  EXPECT_EQ(values.size(), 0u);
  EXPECT_EQ(names, (std::list<std::string>{X721 + "perceivedSeverity", "\"NX-ALARM\":ackState", X721 + "additionalText"}));
  EXPECT_EQ(texts, (std::list<std::string>{"major", "acked", "\"disk full\""}));
}

TEST(MisImplAttributes, InternetAlarmGainsASeverityOnlyWhenItHasNone) {
  const Asn1Value internet = Oid("1.3.6.1.4.1.32473.1.10.1").to_value(Asn1Value::context_tag(6));
  auto run = [&](bool with_severity) {
    std::vector<Asn1Value> attrs = {attribute("2.9.3.2.7.14", internet)};
    if (with_severity) attrs.push_back(attribute("2.9.3.2.7.17", Asn1Value::encode_int(5, Asn1Value::TAG_ENUM)));
    OidArray ids;
    Asn1ValueArray values;
    MisImpl::parse_attribute_list(Asn1Value::encode_constructed(Asn1Value::TAG_SET, attrs), ids, values);
    std::list<std::string> names, texts;
    MisImpl::convert(ids, values, names, texts);
    return std::make_pair(names, texts);
  };
  auto [names, texts] = run(false);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(texts.front(), "globalForm : \"NX-ALARM\":internetAlarm");
  EXPECT_EQ(names.back(), "perceivedSeverity");
  EXPECT_EQ(texts.back(), "indeterminate");
  auto [names2, texts2] = run(true);
  ASSERT_EQ(names2.size(), 2u);
  EXPECT_EQ(texts2.back(), "cleared");
}

TEST(MisImplAttributes, AttributeValueChangesTakeTheNewValue) {
  auto change = [](const char* oid, long old_value, long new_value, bool with_old) {
    std::vector<Asn1Value> parts = {Oid(oid).to_value(Asn1Value::TAG_CTX0)};
    if (with_old) parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX1, Asn1Value::encode_int(old_value)));
    parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX2, Asn1Value::encode_int(new_value)));
    return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, parts);
  };
  Asn1Value list = Asn1Value::encode_constructed(
      Asn1Value::TAG_SET,
      {change("1.3.6.1.4.1.32473.1.7.1", 0, 1, true), change("1.3.6.1.4.1.32473.1.7.5", 0, 1, false)});
  OidArray ids;
  Asn1ValueArray values;
  ASSERT_TRUE(MisImpl::parse_attribute_list_avc(list, ids, values));
  std::list<std::string> names, texts;
  MisImpl::convert(ids, values, names, texts);
  EXPECT_EQ(names, (std::list<std::string>{"\"NX-ALARM\":ackState", "\"NX-ALARM\":clearState"}));
  EXPECT_EQ(texts, (std::list<std::string>{"acked", "cleared"}));
}

TEST(MisImplAttributes, UnnamedIdentifiersKeepAnEmptyName) {
  OidNameRegistry::set(nullptr);
  OidArray ids(1);
  Asn1ValueArray values(1);
  ids[0] = Oid("2.9.3.2.7.17");
  values[0] = Asn1Value::encode_int(2, Asn1Value::TAG_ENUM);
  std::list<std::string> names, texts;
  MisImpl::convert(ids, values, names, texts);
  OidNameRegistry::set(OidNameRegistry::metadata());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names.front(), "");
  EXPECT_EQ(texts.front(), "major");  // typed from the metadata all the same
}

}  // namespace
