#include "platform/regedit4.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

using Kind = RegValue::Kind;

RegValue str(std::string name, std::string data) { return {name, Kind::String, data}; }
RegValue raw(std::string name, std::string data) { return {name, Kind::Raw, data}; }

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<RegSection> expected;  // compared when `error` is null
  const char* error = nullptr;       // the reason must start with this
};

const std::string kHead = "REGEDIT4\r\n\r\n";
const std::string kUser = "[HKEY_CURRENT_USER\\A]\r\n";
const std::string kUserKey = "HKEY_CURRENT_USER\\A";

std::vector<ParseCase> parseCases() {
  return {
      {"header alone, no line end", "REGEDIT4", {}},
      {"header between blanks", "  REGEDIT4 \r\n", {}},
      {"LF line ends",
       "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n",
       {{kUserKey, false, {str("x", "1")}}}},
      {"lone CR line ends, no final one",
       "REGEDIT4\r[HKEY_CURRENT_USER\\A]\r\"x\"=\"1\"",
       {{kUserKey, false, {str("x", "1")}}}},
      {"comments, indentation, blanks around =",
       "REGEDIT4\r\n; note\r\n  [HKEY_CURRENT_USER\\A]\r\n\t\"x\" =  \"1\" ; why\r\n# more\r\n",
       {{kUserKey, false, {str("x", "1")}}}},
      {"default value", kHead + kUser + "@=\"d\"\r\n", {{kUserKey, false, {str("", "d")}}}},
      {"empty name is the default value",
       kHead + kUser + "\"\"=\"d\"\r\n",
       {{kUserKey, false, {str("", "d")}}}},
      {"escapes in name and data",
       kHead + kUser + "\"a\\\"b\"=\"c\\\\d\\ne\\rf\"\r\n",
       {{kUserKey, false, {str("a\"b", "c\\d\ne\rf")}}}},
      {"'=' and ';' inside quotes",
       kHead + kUser + "\"a=b;\"=\"x;y=\"\r\n",
       {{kUserKey, false, {str("a=b;", "x;y=")}}}},
      {"key runs to the last ']'",
       kHead + "[HKEY_CURRENT_USER\\A]B]\r\n",
       {{"HKEY_CURRENT_USER\\A]B", false, {}}}},
      {"key removal", kHead + "[-HKEY_CURRENT_USER\\A]\r\n", {{kUserKey, true, {}}}},
      {"value removal",
       kHead + kUser + "\"x\"=-\r\n",
       {{kUserKey, false, {{"x", Kind::Remove, ""}}}}},
      {"dword kept as text",
       kHead + kUser + "\"n\"=dword:0000002A\r\n",
       {{kUserKey, false, {raw("n", "dword:0000002A")}}}},
      {"hex continued on the next line",
       kHead + kUser + "\"h\"=hex(2):41,00,\\\r\n  42,00\r\n",
       {{kUserKey, false, {raw("h", "hex(2):41,00,42,00")}}}},
      {"hex continuation skips comments and blank lines",
       kHead + kUser + "\"h\"=hex:01, \\\r\n; c\r\n\r\n  2\r\n\"y\"=\"2\"\r\n",
       {{kUserKey, false, {raw("h", "hex:01,2"), str("y", "2")}}}},
      {"empty hex", kHead + kUser + "\"h\"=hex:\r\n", {{kUserKey, false, {raw("h", "hex:")}}}},
      {"code page 1251 bytes pass unchanged",  // [..\Прог] "Имя"="Данные"
       kHead + "[HKEY_CURRENT_USER\\\xCF\xF0\xEE\xE3]\r\n"
               "\"\xC8\xEC\xFF\"=\"\xC4\xE0\xED\xED\xFB\xE5\"\r\n",
       {{"HKEY_CURRENT_USER\\\xCF\xF0\xEE\xE3",
         false,
         {str("\xC8\xEC\xFF", "\xC4\xE0\xED\xED\xFB\xE5")}}}},
      {"the same key twice stays two sections",
       kHead + kUser + "\"x\"=\"1\"\r\n" + kUser,
       {{kUserKey, false, {str("x", "1")}}, {kUserKey, false, {}}}},

      {"empty file", "", {}, "line 1:"},
      {"another version's header", "Windows Registry Editor Version 5.00\r\n", {}, "line 1:"},
      {"header with a suffix", "REGEDIT4FOO\r\n", {}, "line 1:"},
      {"value before the first key", kHead + "\"x\"=\"1\"\r\n", {}, "line 3: value before"},
      {"unterminated data", kHead + kUser + "\"x\"=\"abc\r\n", {}, "line 4: string without"},
      {"unterminated name", kHead + kUser + "\"x=1\r\n", {}, "line 4: string without"},
      {"name closed too early", kHead + kUser + "\"x=\"1\r\n", {}, "line 4: value without"},
      {"backslash at the end of a string", kHead + kUser + "\"x\"=\"a\\", {}, "line 4: string"},
      {"unknown escape", kHead + kUser + "\"x\"=\"a\\qb\"\r\n", {}, "line 4: unknown escape"},
      {"escaped NUL", kHead + kUser + "\"x\"=\"a\\0\"\r\n", {}, "line 4: unknown escape"},
      {"text after the data", kHead + kUser + "\"x\"=\"a\" b\r\n", {}, "line 4: text after"},
      {"no '='", kHead + kUser + "\"x\" \"a\"\r\n", {}, "line 4: value without"},
      {"text after '-'", kHead + kUser + "\"x\"=-1\r\n", {}, "line 4: text after"},
      {"unknown type", kHead + kUser + "\"x\"=qword:1\r\n", {}, "line 4: unknown data type"},
      {"unquoted data", kHead + kUser + "\"x\"=abc\r\n", {}, "line 4: unknown data type"},
      {"dword of nine digits",
       kHead + kUser + "\"x\"=dword:123456789\r\n",
       {},
       "line 4: bad dword"},
      {"dword without digits", kHead + kUser + "\"x\"=dword:\r\n", {}, "line 4: bad dword"},
      {"dword with junk", kHead + kUser + "\"x\"=dword:12g\r\n", {}, "line 4: bad dword"},
      {"hex byte of three digits", kHead + kUser + "\"x\"=hex:123\r\n", {}, "line 4: bad hex"},
      {"hex bytes without comma", kHead + kUser + "\"x\"=hex:01 02\r\n", {}, "line 4: bad hex"},
      {"hex line break without comma",
       kHead + kUser + "\"x\"=hex:01\\\r\n02\r\n",
       {},
       "line 4: bad hex"},
      {"hex continuation starting with a comma",
       kHead + kUser + "\"x\"=hex:01,\\\r\n,02\r\n",
       {},
       "line 5: bad hex"},
      {"hex type not hexadecimal",
       kHead + kUser + "\"x\"=hex(zz):01\r\n",
       {},
       "line 4: bad hex(type)"},
      {"hex type not closed", kHead + kUser + "\"x\"=hex(2:01\r\n", {}, "line 4: bad hex(type)"},
      {"key without ']'", kHead + "[HKEY_CURRENT_USER\\A\r\n", {}, "line 3: key without"},
      {"empty key", kHead + "[]\r\n", {}, "line 3: empty key"},
      {"key beginning with a blank", kHead + "[ HKEY_CURRENT_USER]\r\n", {}, "line 3: empty key"},
      {"text after the key", kHead + "[HKEY_CURRENT_USER] x\r\n", {}, "line 3: text after"},
      {"stray text", kHead + "garbage\r\n", {}, "line 3: neither"},
      {"value in a removed key",
       kHead + "[-HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n",
       {},
       "line 4: value in a key"},
  };
}

TEST(Regedit4Parse, TableOfInputs) {
  for (const ParseCase& c : parseCases()) {
    SCOPED_TRACE(c.what);
    std::string why;
    std::optional<RegFile> file = parseRegedit4(c.text, &why);
    if (c.error) {
      EXPECT_FALSE(file.has_value());
      EXPECT_EQ(why.rfind(c.error, 0), 0u) << "reason: " << why;
    } else {
      ASSERT_TRUE(file.has_value()) << why;
      EXPECT_EQ(file->sections, c.expected);
    }
  }
}

TEST(Regedit4Format, WritesRegeditLayoutWithCrLf) {
  RegFile file;
  file.sections.push_back({"HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\Demo",
                           false,
                           {str("Path", "C:\\Apps\\\"Demo\""),
                            str("", "def"),
                            raw("n", "dword:00000001"),
                            {"gone", Kind::Remove, ""}}});
  file.sections.push_back({"HKEY_USERS\\Old", true, {}});
  EXPECT_EQ(formatRegedit4(file),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\Demo]\r\n"
            "\"Path\"=\"C:\\\\Apps\\\\\\\"Demo\\\"\"\r\n"
            "@=\"def\"\r\n"
            "\"n\"=dword:00000001\r\n"
            "\"gone\"=-\r\n"
            "\r\n"
            "[-HKEY_USERS\\Old]\r\n"
            "\r\n");
  EXPECT_EQ(formatRegedit4({}), "REGEDIT4\r\n\r\n");
}

TEST(Regedit4Format, StringEndsAtNul) {
  EXPECT_EQ(escapeRegString(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(escapeRegString("\r\n\\\""), "\\r\\n\\\\\\\"");
}

// Every byte but NUL, in names and in data, survives a write and a read.
TEST(Regedit4Format, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  RegFile file;
  file.sections.push_back({"HKEY_CURRENT_USER\\Software\\\xC0\xFF",
                           false,
                           {str(all, all), str("", ""), str("x", "\\\\\"\"\\"), raw("h", "hex:")}});
  file.sections.push_back({"HKEY_CLASSES_ROOT\\.demo", false, {str("", "Demo.File")}});
  std::string why;
  std::optional<RegFile> back = parseRegedit4(formatRegedit4(file), &why);
  ASSERT_TRUE(back.has_value()) << why;
  EXPECT_EQ(back->sections, file.sections);
}

TEST(Regedit4Find, FollowsTheImportOrder) {
  const std::string text = kHead +
                           "[HKEY_LOCAL_MACHINE\\\xD1\xEE\xF4\xF2\\Demo]\r\n"  // Софт
                           "\"Path\"=\"one\"\r\n"
                           "\"Gone\"=\"x\"\r\n"
                           "\r\n"
                           "[HKEY_LOCAL_MACHINE\\\xD1\xCE\xD4\xD2\\DEMO]\r\n"  // СОФТ
                           "\"PATH\"=\"two\"\r\n"
                           "\"gone\"=-\r\n"
                           "[HKEY_LOCAL_MACHINE\\Removed\\Child]\r\n"
                           "\"v\"=\"1\"\r\n"
                           "[HKEY_LOCAL_MACHINE\\Removed2]\r\n"
                           "\"v\"=\"2\"\r\n"
                           "[-HKEY_LOCAL_MACHINE\\Removed]\r\n";
  std::optional<RegFile> file = parseRegedit4(text);
  ASSERT_TRUE(file.has_value());
  const RegValue* path = findRegValue(*file, "hkey_local_machine\\\xF1\xEE\xF4\xF2\\demo", "path");
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(path->data, "two");
  EXPECT_EQ(findRegValue(*file, "HKEY_LOCAL_MACHINE\\\xD1\xEE\xF4\xF2\\Demo", "Gone"), nullptr);
  EXPECT_EQ(findRegValue(*file, "HKEY_LOCAL_MACHINE\\Removed\\Child", "v"), nullptr);
  ASSERT_NE(findRegValue(*file, "HKEY_LOCAL_MACHINE\\Removed2", "v"), nullptr);
  EXPECT_EQ(findRegValue(*file, "HKEY_LOCAL_MACHINE\\Nowhere", "v"), nullptr);
}

}  // namespace
}  // namespace zorv
