// UTF-8 texts of the manifest and of file names to the ANSI bytes the setup reads.
#include "tools/builder/codepage.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zorv
