#include "platform/json_writer.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(JsonWriter, SeparatesMembersAndItemsAtEveryLevel) {
  JsonWriter j;
  j.beginObject();
  j.key("a");
  j.number(-1);
  j.key("b");
  j.beginArray();
  j.boolean(true);
  j.null();
  j.beginObject();
  j.endObject();
  j.raw("[1,2]");
  j.endArray();
  j.key("c");
  j.string("x");
  j.endObject();
  EXPECT_EQ(j.text(), R"({"a":-1,"b":[true,null,{},[1,2]],"c":"x"})");
}

TEST(JsonWriter, SpacedWithLineBreaksWhereTheCallerAsks) {
  JsonWriter j(JsonWriter::Layout::Spaced);
  j.beginObject();
  j.key("a");
  j.beginArray();
  for (int i : {1, 2}) {
    j.lineBreak(2);
    j.number(i);
  }
  j.lineBreak(0);
  j.endArray();
  j.lineBreak(1);
  j.key("b");
  j.beginArray();
  j.string("x");
  j.string("y");
  j.endArray();
  j.endObject();
  EXPECT_EQ(j.text(), "{\"a\": [\n  1,\n  2\n],\n \"b\": [\"x\", \"y\"]}");
}

TEST(JsonWriter, NumbersOfEveryWidth) {
  JsonWriter j;
  j.beginArray();
  j.number(std::uint64_t(18446744073709551615u));
  j.number(std::int64_t(-9223372036854775807 - 1));
  j.number(std::uint8_t(255));
  j.endArray();
  EXPECT_EQ(j.text(), "[18446744073709551615,-9223372036854775808,255]");
}

struct EscapeCase {
  const char* what;
  std::string in;
  std::string out;
  std::string outOwnNumber{};  // where a byte that is not UTF-8 keeps its number
};

class JsonString : public testing::TestWithParam<EscapeCase> {};

TEST_P(JsonString, IsPureAscii) {
  JsonWriter j;
  j.string(GetParam().in);
  EXPECT_EQ(j.text(), "\"" + GetParam().out + "\"") << GetParam().what;
  JsonWriter own(JsonWriter::Layout::Compact, JsonWriter::BadByte::OwnNumber);
  own.string(GetParam().in);
  const std::string expected =
      GetParam().outOwnNumber.empty() ? GetParam().out : GetParam().outOwnNumber;
  EXPECT_EQ(own.text(), "\"" + expected + "\"") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, JsonString,
    testing::Values(
        EscapeCase{"quote and backslash", "a\"b\\c", R"(a\"b\\c)"},
        EscapeCase{"line feed and other controls", std::string("\n\x01\x7f", 3),
                   R"(\u000a\u0001\u007f)"},
        EscapeCase{"Cyrillic from UTF-8", "\xd0\x9e\xd0\xb1", R"(\u041e\u0431)"},
        EscapeCase{"a code point outside the BMP becomes a surrogate pair", "\xf0\x9f\x98\x80",
                   R"(\ud83d\ude00)"},
        EscapeCase{"a code page 1251 byte is not UTF-8", "\xce", R"(\ufffd)", R"(\u00ce)"},
        EscapeCase{"a truncated sequence at the end", "a\xd0", R"(a\ufffd)", R"(a\u00d0)"},
        EscapeCase{"an overlong form", "\xc0\xaf", R"(\ufffd\ufffd)", R"(\u00c0\u00af)"},
        EscapeCase{"an encoded surrogate", "\xed\xa0\x80", R"(\ufffd\ufffd\ufffd)",
                   R"(\u00ed\u00a0\u0080)"}));

TEST(JsonWriter, HexIsTwoLowerCaseDigitsAByte) {
  EXPECT_EQ(toHex(std::string("\x00\xff\x1a", 3)), "00ff1a");
  EXPECT_EQ(toHex(""), "");
}

}  // namespace
}  // namespace zorv
