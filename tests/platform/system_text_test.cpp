// Package texts as the POSIX platform hands them to a UTF-8 system and takes them back, and the
// registry's comparison of names in either form.
#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace zorv {
namespace {

TEST(SystemText, Utf8AndBackLosesNothing) {
  const struct {
    int codePage;
    std::string ansi, utf8;
  } rows[] = {
      {1251, "\xD0\xF3\xEA\xEE\xE2\xEE\xE4\xF1\xF2\xE2\xEE.txt",
       "\xD0\xA0\xD1\x83\xD0\xBA\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xB4\xD1\x81\xD1\x82\xD0\xB2\xD0\xBE."
       "txt"},
      {1252, "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},  // é and the euro sign
      {1252, "\x81\x8D", "\xC2\x81\xC2\x8D"},              // unassigned: C1 controls
      {1251, "\x98", "\xC2\x98"},
      {1252, "C:\\Apps\\Demo", "C:\\Apps\\Demo"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(systemUtf8(r.ansi, r.codePage), r.utf8) << r.utf8;
    EXPECT_EQ(systemAnsi(r.utf8, r.codePage), r.ansi) << r.utf8;
  }
  EXPECT_EQ(systemAnsi("\xD0\x9F", 1252), std::nullopt);  // П has no byte in 1252
  EXPECT_EQ(systemAnsi("\xE9", 1252), std::nullopt);      // not UTF-8
}

TEST(SystemText, RegistryNamesCompareWithoutCase) {
  const struct {
    std::string a, b;
    bool same;
  } rows[] = {
      {"Software\\Zorv", "SOFTWARE\\zorv", true},
      {"\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0", "\xD0\xBF\xD0\x90\xD0\x9F\xD0\x9A\xD0\x90",
       true},                                            // Папка, пАПКА
      {"\xD0\xB4", "\xD0\xA5", false},                   // д is not Х
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", true},  // été, ÉTÉ
      {"\xCF\xF0\xEE", "\xEF\xD0\xCE", true},            // Про, пРО in 1251 bytes
      {"\xD0\x9F", "\xCF", true},  // П in UTF-8 and in a 1251 byte: one letter either way
  };
  for (const auto& r : rows) EXPECT_EQ(equalsIgnoreCaseText(r.a, r.b), r.same) << r.a << " " << r.b;
}

}  // namespace
}  // namespace zorv
