// Operator texts set on records: value notation is unquoted exactly once,
// so any text, quotes included, is stored as written; nothing else is taken.
#include "mis/record_attributes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "metadata.h"
#include "nxmp/asn1_type.h"

namespace {

using nxmp_mis::find_record_attribute;
using nxmp_mis::parse_set_value;
using nxmp_mis::quote;

TEST(RecordAttributeLookup, NamesBareOrQualifiedFindTheirAttributeAndNothingElse) {
  for (const nxmp_mis::RecordAttribute& a : nxmp_mis::record_attributes()) {
    const std::string name = a.name;
    EXPECT_EQ(find_record_attribute(name), &a) << name;
    EXPECT_EQ(find_record_attribute("\"NX-ALARM\": " + name + " "), &a) << name;
    EXPECT_EQ(find_record_attribute(name.substr(1)), nullptr) << name;
    EXPECT_EQ(find_record_attribute(name + "s"), nullptr) << name;
    std::string other = name;
    other.back() = other.back() == 'x' ? 'y' : 'x';
    EXPECT_EQ(find_record_attribute(other), nullptr) << name;
  }
  const std::string long_name(200, 'a');
  for (const char* none : {"", ":", "a:", ":b", "ackstate", long_name.c_str()}) {
    EXPECT_EQ(find_record_attribute(none), nullptr) << none;
  }
}

TEST(RecordAttributeText, QuotedTextsComeOutAsWritten) {
  const nxmp_mis::RecordAttribute* text = find_record_attribute("ackText");
  const nxmp_mis::RecordAttribute* op = find_record_attribute("\"NX-ALARM\":clearOperator");
  ASSERT_NE(text, nullptr);
  ASSERT_NE(op, nullptr);
  const std::string samples[] = {"urgent", "\"urgent\"", "\" OR \"\"=\"", "\"", "a\\b \\\"", "  padded  ",
                                 "", "fan \xF0\x9F\x98\x80", "line\nbreak"};
  for (const std::string& s : samples) {
    EXPECT_EQ(parse_set_value(*text, quote(s)), s) << s;
    EXPECT_EQ(parse_set_value(*op, "  " + quote(s) + " "), s) << s;
  }
  EXPECT_EQ(quote("\" OR \"\"=\""), "\"\"\" OR \"\"\"\"=\"\"\"");
}

TEST(RecordAttributeText, WhatIsNoQuotedTextIsRefused) {
  const nxmp_mis::RecordAttribute* text = find_record_attribute("displayText");
  ASSERT_NE(text, nullptr);
  // A bare text would be taken apart when it looks quoted; none is taken.
  for (const char* value : {"urgent", "\"open", "close\"", "\"a\"b\"", "\"a\" \"b\"", ""}) {
    EXPECT_EQ(parse_set_value(*text, value), std::nullopt) << value;
  }
  EXPECT_EQ(parse_set_value(*text, std::string("\"a\0b\"", 5)), std::nullopt);
}

TEST(RecordAttributeValue, EveryAttributeEncodesAsItsNotationParses) {
  // Texts, times and numbers are encoded without their notation: what comes
  // out must be what the attribute's type makes of the notation.
  const char* const texts[] = {"x", "say \"hi\"", "\"", "fan \xF0\x9F\x98\x80", "line\nbreak", "  "};
  const char* const numbers[] = {"0", "7", "-1", "128", "-129", "32767", "999999999999999999", "-0", "007",
                                 "+5", "1e3", "12a"};
  const char* const times[] = {"20261207014512", "19991231235959", "2026"};
  std::size_t compared = 0;
  for (const nxmp_mis::RecordAttribute& a : nxmp_mis::record_attributes()) {
    std::vector<const char*> values;
    switch (a.form) {
      case nxmp_mis::Form::kText: values.assign(std::begin(texts), std::end(texts)); break;
      case nxmp_mis::Form::kGenTime: values.assign(std::begin(times), std::end(times)); break;
      case nxmp_mis::Form::kInteger:
      case nxmp_mis::Form::kRecordId: values.assign(std::begin(numbers), std::end(numbers)); break;
      default: continue;
    }
    const nxmp_meta::Entry* entry = nxmp_meta::find(std::string_view(a.name));
    const Asn1Type type =
        entry ? Asn1Type::lookup_type("attributeValue", "attributeId", entry->oid.to_value()) : Asn1Type();
    for (const char* v : values) {
      const Asn1Value expected = type ? type.parse(nxmp_mis::to_notation(a, v)) : Asn1Value();
      EXPECT_EQ(nxmp_mis::encode_value(a, v), expected) << a.name << " " << v;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0u);
}

}  // namespace
