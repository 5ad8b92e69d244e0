// UTF-8 texts of the manifest and of file names to the ANSI bytes the setup reads.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "tools/builder/limits.h"

namespace zorv {
namespace {

struct Conversion {
  const char* utf8;
  int codePage;
  const char* ansi;  // nullptr: refused
};

TEST(CodePage, ConvertsOrRefuses) {
  const Conversion cases[] = {
      {"Plain ASCII", 1252, "Plain ASCII"},
      {"Caf\xC3\xA9 \xE2\x82\xAC", 1252, "Caf\xE9 \x80"},  // é and the euro sign
      {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", 1251,
       "\xCF\xF0\xE8\xE2\xE5\xF2"},                              // Привет
      {"\xD0\x81\xD1\x91 \xE2\x84\x96", 1251, "\xA8\xB8 \xB9"},  // Ё ё №
      {"\xD0\x9F", 1252, nullptr},                               // Cyrillic in Western
      {"\xC3\xA9", 1251, nullptr},                               // é in Cyrillic
      {"\xE6\x97\xA5", 1252, nullptr},                           // a CJK character
      {"\xC3", 1252, nullptr},                                   // cut sequence
      {"\xC0\xAF", 1252, nullptr},                               // overlong "/"
      {"\xED\xA0\x80", 1252, nullptr},                           // a surrogate
      {"\xFF", 1252, nullptr},
  };
  for (const Conversion& c : cases) {
    std::string bad;
    auto out = utf8ToAnsi(c.utf8, c.codePage, &bad);
    if (c.ansi) {
      ASSERT_TRUE(out) << c.utf8 << ": " << bad;
      EXPECT_EQ(*out, c.ansi);
      EXPECT_EQ(ansiToUtf8(*out, c.codePage), c.utf8);
    } else {
      EXPECT_FALSE(out) << c.utf8;
      EXPECT_FALSE(bad.empty());
    }
  }
}

TEST(CodePage, EveryAssignedByteRoundTrips) {
  for (int cp : {1251, 1252})
    for (int b = 1; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      const std::string utf8 = ansiToUtf8(one, cp);
      if (utf8 == "?" && b != '?') continue;  // unassigned in this code page
      auto back = utf8ToAnsi(utf8, cp, nullptr);
      ASSERT_TRUE(back) << "code page " << cp << " byte " << b;
      EXPECT_EQ(*back, one) << "code page " << cp << " byte " << b;
    }
}

// Names that Windows takes for one file, and names it keeps apart, in each code page.
TEST(CodePage, FoldsCaseAsWindowsComparesNames) {
  const struct {
    int codePage;
    const char* a;
    const char* b;
    bool same;
  } rows[] = {
      {1252, "README.TXT", "Readme.txt", true},
      {1252, "\xC9t\xE9.txt", "\xE9t\xE9.txt", true},                // Été, été
      {1252, "\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},          // ŠŒŽŸ, šœžÿ
      {1252, "\xD7", "\xF7", false},                                 // × and ÷ are no letters
      {1252, "\xDF", "SS", false},                                   // ß stays ß
      {1252, "\xC0", "\xE0", true},                                  // À, à
      {1251, "\xD4\xE0\xE9\xEB.txt", "\xF4\xE0\xE9\xEB.txt", true},  // Файл, файл
      {1251, "\xA8", "\xB8", true},                                  // Ё, ё
      {1251, "\xDF", "\xFF", true},                                  // Я, я
      {1251, "\xC0", "\xE0", true},                                  // А, а
      {1251, "\xB5", "\xA5", false},                                 // µ is not Ґ
      {1252, "\xD0", "\xF0", true},                                  // Ð, ð
  };
  for (const auto& r : rows)
    EXPECT_EQ(foldCase(r.a, r.codePage) == foldCase(r.b, r.codePage), r.same)
        << r.codePage << ": " << ansiToUtf8(r.a, r.codePage) << " / "
        << ansiToUtf8(r.b, r.codePage);
}

// The characters of UTF-8 text, or none for any malformed sequence anywhere in it.
TEST(CodePage, Utf8Characters) {
  const struct {
    std::string utf8;
    std::optional<std::u32string> characters;
  } rows[] = {
      {"", U""},
      {"ab", U"ab"},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", U"Caf\u00E9 \u20AC \U0001F600"},
      {std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
      {"ok\xC3", std::nullopt},            // cut at the end
      {"\xC0\xAFok", std::nullopt},        // overlong "/" at the start
      {"a\xED\xA0\x80", std::nullopt},     // a surrogate
      {"\xE9t\xE9", std::nullopt},         // code page 1252 bytes
      {"\xF4\x90\x80\x80", std::nullopt},  // past U+10FFFF
  };
  for (const auto& r : rows) EXPECT_EQ(utf8Characters(r.utf8), r.characters) << r.utf8;
}

}  // namespace
}  // namespace zorv
