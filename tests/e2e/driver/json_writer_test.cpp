#include "tests/e2e/driver/json_writer.h"

#include <gtest/gtest.h>

namespace e2e {
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

struct EscapeCase {
  const char* what;
  std::string in;
  std::string out;
};

class JsonString : public testing::TestWithParam<EscapeCase> {};

TEST_P(JsonString, IsPureAscii) {
  JsonWriter j;
  j.string(GetParam().in);
  EXPECT_EQ(j.text(), "\"" + GetParam().out + "\"") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, JsonString,
    testing::Values(
        EscapeCase{"quote and backslash", "a\"b\\c", R"(a\"b\\c)"},
        EscapeCase{"line feed and other controls", std::string("\n\x01\x7f", 3),
                   R"(\u000a\u0001\u007f)"},
        EscapeCase{"Cyrillic from UTF-8", "\xd0\x9e\xd0\xb1", R"(\u041e\u0431)"},
        EscapeCase{"a code point outside the BMP becomes a surrogate pair",
                   "\xf0\x9f\x98\x80", R"(\ud83d\ude00)"},
        EscapeCase{"a code page 1251 byte is not UTF-8", "\xce", R"(\ufffd)"},
        EscapeCase{"a truncated sequence at the end", "a\xd0", R"(a\ufffd)"},
        EscapeCase{"an overlong form", "\xc0\xaf", R"(\ufffd\ufffd)"},
        EscapeCase{"an encoded surrogate", "\xed\xa0\x80", R"(\ufffd\ufffd\ufffd)"}));

TEST(JsonWriter, HexIsTwoLowerCaseDigitsAByte) {
  EXPECT_EQ(toHex(std::string("\x00\xff\x1a", 3)), "00ff1a");
  EXPECT_EQ(toHex(""), "");
}

}  // namespace
}  // namespace e2e
