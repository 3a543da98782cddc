// Operator texts set on records: value notation is unquoted exactly once,
// so any text, quotes included, is stored as written; nothing else is taken.
#include "mis/record_attributes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using nxmp_mis::find_record_attribute;
using nxmp_mis::parse_set_value;
using nxmp_mis::quote;

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

}  // namespace
