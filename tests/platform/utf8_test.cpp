// The UTF-8 codec: what decodes, what does not, and the round trips through UTF-8 and UTF-16.
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorv {
namespace {

constexpr char32_t kBad = kNotUtf8;

// Every character, or kBad, that decoding `text` from its start to its end gives.
std::u32string decodeAll(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) out += decodeUtf8(text, i);
  return out;
}

struct DecodeCase {
  const char* what;
  std::string bytes;
  std::u32string characters;
};

TEST(Utf8, DecodesWellFormedSequencesOnly) {
  const DecodeCase cases[] = {
      {"ASCII", "A~", U"A~"},
      {"two bytes", "\xd0\x96", U"\u0416"},
      {"three bytes", "\xe2\x82\xac", U"\u20ac"},
      {"four bytes", "\xf0\x9f\x98\x80", U"\U0001F600"},
      {"the last character", "\xf4\x8f\xbf\xbf", U"\U0010FFFF"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", {kBad, kBad, kBad, kBad}},
      {"a lead byte no sequence has", "\xf5\x80\x80\x80", {kBad, kBad, kBad, kBad}},
      {"an overlong two-byte form", "\xc0\xaf", {kBad, kBad}},
      {"an overlong three-byte form", "\xe0\x80\xaf", {kBad, kBad, kBad}},
      {"an encoded surrogate", "\xed\xa0\x80", {kBad, kBad, kBad}},
      {"a continuation byte alone", "\x80", {kBad}},
      {"a sequence cut by the end", "\xe2\x82", {kBad, kBad}},
      {"a sequence cut by ASCII, which still decodes",
       "\xd0"
       "A",
       {kBad, U'A'}},
      {"a code page 1251 byte", "\xce", {kBad}},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(decodeAll(c.bytes), c.characters) << c.what;
}

TEST(Utf8, EveryBoundaryCharacterRoundTripsInItsLength) {
  const std::pair<char32_t, std::size_t> cases[] = {
      {0, 1},      {0x7F, 1},   {0x80, 2},   {0x7FF, 2},   {0x800, 3},
      {0xD7FF, 3}, {0xE000, 3}, {0xFFFF, 3}, {0x10000, 4}, {0x10FFFF, 4}};
  for (const auto& [c, length] : cases) {
    std::string bytes;
    appendUtf8(bytes, c);
    EXPECT_EQ(bytes.size(), length) << std::hex << std::uint32_t(c);
    std::size_t i = 0;
    EXPECT_EQ(decodeUtf8(bytes, i), c) << std::hex << std::uint32_t(c);
    EXPECT_EQ(i, length) << std::hex << std::uint32_t(c);
  }
}

struct Utf16Case {
  const char* what;
  std::string utf8;
  std::u16string utf16;
};

TEST(Utf8, ConvertsToUtf16AndBack) {
  const Utf16Case cases[] = {
      {"empty", "", u""},
      {"ASCII and Cyrillic", "a\xd0\x96", u"a\u0416"},
      {"a surrogate pair", "\xf0\x9f\x98\x80", u"\xd83d\xde00"},
  };
  for (const Utf16Case& c : cases) {
    EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.what;
    EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.what;
  }
}

TEST(Utf8, WhatCannotBeConvertedBecomesTheReplacementCharacter) {
  EXPECT_EQ(utf8ToUtf16("a\xff"
                        "b"),
            u"a\xfffd"
            "b");
  EXPECT_EQ(utf8ToUtf16("\xe2\x82"), u"\xfffd\xfffd");
  const std::string replacement = "\xef\xbf\xbd";
  EXPECT_EQ(utf16ToUtf8(u"\xd83d"), replacement);  // a high surrogate at the end
  EXPECT_EQ(utf16ToUtf8(u"\xde00"
                        "a"),
            replacement + "a");  // a low one first
  EXPECT_EQ(utf16ToUtf8(u"\xd83d\xd83d\xde00"), replacement + "\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace zorv
