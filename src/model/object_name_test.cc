#include "model/object_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kRecord[] = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"/logRecordId=number:42";

TEST(ObjectName, ReadsTheSystemsOwnNames) {
  const auto name = ObjectName::parse(kRecord);
  ASSERT_TRUE(name);
  EXPECT_TRUE(name->full());
  ASSERT_EQ(name->parts().size(), 3u);
  EXPECT_EQ(name->find("systemId")->form(), NameValue::Form::kName);
  EXPECT_EQ(name->find("systemId")->text(), "alpha");
  EXPECT_EQ(name->find("logId")->form(), NameValue::Form::kString);
  EXPECT_EQ(name->find("logId")->text(), "AlarmLog");
  EXPECT_EQ(name->find("logRecordId")->form(), NameValue::Form::kNumber);
  EXPECT_EQ(name->find("logRecordId")->text(), "42");
  EXPECT_EQ(name->find("equipmentId"), nullptr);
  EXPECT_EQ(name->str(), kRecord);
  EXPECT_EQ(name->parent().str(), "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"");
  EXPECT_EQ(ObjectName::log("alpha", NameValue::string("AlarmLog")).record(NameValue::number(42)), *name);
  EXPECT_EQ(ObjectName::log("alpha", NameValue::number(-3)).str(), "/systemId=name:\"alpha\"/logId=number:-3");

  const auto local = ObjectName::parse("logId=number:5");
  ASSERT_TRUE(local);
  EXPECT_FALSE(local->full());
  EXPECT_EQ(local->str(), "logId=number:5");
  EXPECT_EQ(ObjectName::parse("/")->str(), "/");
  EXPECT_TRUE(ObjectName::parse("")->empty());
}

TEST(ObjectName, QuotesKeepSlashesAndDoubledQuotes) {
  const auto slashed = ObjectName::parse("/systemId=name:\"h\"/logId=string:\"a/b\"/logRecordId=number:1");
  ASSERT_TRUE(slashed);
  ASSERT_EQ(slashed->parts().size(), 3u);
  EXPECT_EQ(slashed->find("logId")->text(), "a/b");
  EXPECT_EQ(slashed->parent().str(), "/systemId=name:\"h\"/logId=string:\"a/b\"");

  const auto quoted = ObjectName::parse("/logId=string:\"say \"\"hi\"\"\"/x=string:\"\"\"\"");
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->find("logId")->text(), "say \"hi\"");
  EXPECT_EQ(quoted->find("x")->text(), "\"");
  EXPECT_EQ(quoted->str(), "/logId=string:\"say \"\"hi\"\"\"/x=string:\"\"\"\"");
  EXPECT_EQ(NameValue::string("a\"/b").notation(), "string:\"a\"\"/b\"");
  EXPECT_EQ(ObjectName::parse(ObjectName::log("m\"s", NameValue::string("l\"/g")).str())->find("logId")->text(),
            "l\"/g");

  // Any other notation stays as it is; '/' inside braces belongs to it.
  const auto other = ObjectName::parse("/a={x y , \"p/q\"}/b=7/c=\"m n\"");
  ASSERT_TRUE(other);
  ASSERT_EQ(other->parts().size(), 3u);
  EXPECT_EQ(other->parts()[0].value.form(), NameValue::Form::kOther);
  EXPECT_EQ(other->parts()[0].value.text(), "{x y , \"p/q\"}");
  EXPECT_EQ(other->str(), "/a={x y , \"p/q\"}/b=7/c=\"m n\"");
}

TEST(ObjectName, RefusesWhatIsNotWhollyAName) {
  for (const char* bad : {
           "//",                                       // empty relative names
           "/a=b//c=d", "/a=b/", "a=b/",               // an empty one between or at the end
           "/systemId", "/=x", "/a b=x", "/a\"=x",     // no '=', no type, blank or quote in it
           "/a=", "/a=b c", "/a=b\n",                  // no value, blank or newline outside quotes
           "/logId=string:\"a", "/logId=string:\"a/b",  // quote left open (no partial name)
           "/logId=string:a", "/logId=string:\"a\"b",   // string: must be one quoted text
           "/logId=string:\"a\"\"", "/systemId=name:\"\x01\"",
           "/logRecordId=number:", "/logRecordId=number:4x", "/logRecordId=number:7 trailing",
           "/logRecordId=number:12345678901234567890",  // more than 19 digits
           "/a={x", "/a=x}", "/a={x}}", "/a=\"x",
       }) {
    EXPECT_FALSE(ObjectName::parse(bad)) << bad;
  }
  EXPECT_TRUE(ObjectName::parse("/logRecordId=number:1234567890123456789"));
  EXPECT_FALSE(ObjectName::parse("/a=" + std::string(ObjectName::kMaxText, 'x')));
  EXPECT_TRUE(ObjectName::parse("/a=" + std::string(ObjectName::kMaxText - 3, 'x')));
  EXPECT_FALSE(NameValue::parse(""));
  EXPECT_FALSE(NameValue::parse("a/b"));
  // A NUL inside the text is not a name's end: the whole text is refused.
  EXPECT_FALSE(ObjectName::parse(std::string("/a=b\0/c=d", 9)));
}

TEST(ObjectName, PrintedFormBothWays) {
  const auto name = ObjectName::parse("/systemId=name:\"host\"/logId=string:\"AlarmLog\"");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->printed(),
            "distinguishedName:\n{\n\t"
            "{\n\t\t{\n\t\tattributeId systemId,attributeValue name:\"host\"\n\t\t}\n\t},\n\t"
            "{\n\t\t{\n\t\tattributeId logId,attributeValue string:\"AlarmLog\"\n\t\t}\n\t}"
            "\n}");
  EXPECT_EQ(ObjectName::parse("logId=number:5")->printed(),
            "localDistinguishedName:\n{\n\t{\n\t\t{\n\t\tattributeId logId,attributeValue number:5\n\t\t}\n\t}\n}");

  // Every name reads back from its printed form, quotes and slashes included.
  for (const char* text : {kRecord, "/systemId=name:\"a/b\"/logId=string:\"x \"\"y\"\" z\"",
                           "logId=number:5/equipmentId=string:\"r/1\"", "/a={x y , \"p q\"}/b=number:-7"}) {
    const auto original = ObjectName::parse(text);
    ASSERT_TRUE(original) << text;
    const auto back = ObjectName::from_printed(original->printed());
    ASSERT_TRUE(back) << original->printed();
    EXPECT_EQ(*back, *original) << original->printed();
  }

  // The decoder's layout: entries on lines of their own, qualified names,
  // blanks around the colons.
  const char spread[] =
      "distinguishedName :\n{\n  {\n    {\n      attributeId \"Rec. X.721 | ISO/IEC 10165-2 : 1992\" : systemId,\n"
      "      attributeValue name : \"alpha\"\n    }\n  }\n}\n";
  ASSERT_TRUE(ObjectName::from_printed(spread));
  EXPECT_EQ(ObjectName::from_printed(spread)->str(), "/systemId=name:\"alpha\"");
}

// Readers size and write names without building the printed form or a new
// text: both must match what printed() and str() give, for every form.
TEST(ObjectName, PrintedSizeAndWrittenTextMatchTheirStrings) {
  for (const char* text : {"", "/", kRecord, "logId=number:-5", "/a=name:\"\"", "/a=string:\"say \"\"hi\"\"\"",
                           "/a=string:\"\"\"\"\"\"", "/a={ b \"x } y\" }", "/a={\n\tb {c}\n}/d=e:f"}) {
    const auto name = ObjectName::parse(text);
    ASSERT_TRUE(name) << text;
    EXPECT_EQ(name->printed_size(), name->printed().size()) << text;
    std::string written = "left over from an earlier, longer name";
    name->write_str(written);
    EXPECT_EQ(written, name->str()) << text;
    for (const RelativeName& part : name->parts()) {
      std::string notation = "kept/";
      part.value.append_notation(notation);
      EXPECT_EQ(notation, "kept/" + part.value.notation()) << text;
      EXPECT_EQ(part.value.notation_size(), part.value.notation().size()) << text;
    }
  }
}

TEST(ObjectName, PrintedFormThatNamesNothingGivesNoName) {
  EXPECT_FALSE(ObjectName::from_printed(""));
  EXPECT_FALSE(ObjectName::from_printed("distinguishedName:\n{\n}"));
  // An attribute without a value, a value cut inside its quotes: refused
  // whole, not the part before.
  EXPECT_FALSE(ObjectName::from_printed("distinguishedName:\n{ attributeId systemId,"));
  EXPECT_FALSE(ObjectName::from_printed(
      "distinguishedName:\n{attributeId systemId,attributeValue name:\"a\"\nattributeId logId,"));
  EXPECT_FALSE(ObjectName::from_printed("attributeId a,attributeValue \"x\ny"));
  EXPECT_FALSE(ObjectName::from_printed("attributeId a,attributeValue name:\"" + std::string(70000, 'x') + "\""));
}

}  // namespace
