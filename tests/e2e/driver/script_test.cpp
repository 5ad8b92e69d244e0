#include "tests/e2e/driver/script.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

struct SplitCase {
  const char* what;
  std::string line;
  std::vector<std::string> words;  // empty with ok == false: refused
  bool ok = true;
};

class SplitLine : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLine, Words) {
  const SplitCase& c = GetParam();
  std::string why;
  auto words = splitScriptLine(c.line, &why);
  ASSERT_EQ(words.has_value(), c.ok) << c.what << ": " << why;
  if (c.ok)
    EXPECT_EQ(*words, c.words) << c.what;
  else
    EXPECT_FALSE(why.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Script, SplitLine,
    testing::Values(
        SplitCase{"bare words keep backslashes",
                  R"(settext 1000 C:\Apps\Tool)",
                  {"settext", "1000", R"(C:\Apps\Tool)"}},
        SplitCase{"blanks and tabs separate, CR is a blank", "  click\t1006 \r", {"click", "1006"}},
        SplitCase{"a quoted word keeps a leading blank",
                  R"(wait-text 1014 " Install complete!")",
                  {"wait-text", "1014", " Install complete!"}},
        SplitCase{"escapes", R"(x "a\\b\"c\n\t")", {"x", "a\\b\"c\n\t"}},
        SplitCase{"hex escapes give any byte",
                  R"(x "\xce\xE1\x00z")",
                  {"x", std::string("\xce\xe1\0z", 4)}},
        SplitCase{"an empty quoted word", R"(x "")", {"x", ""}},
        SplitCase{"unterminated quote", R"(x "abc)", {}, false},
        SplitCase{"escape at the end", "x \"abc\\", {}, false},
        SplitCase{"short hex escape", R"(x "\x4")", {}, false},
        SplitCase{"unknown escape", R"(x "\q")", {}, false},
        SplitCase{"text glued to a closing quote", R"(x "a"b)", {}, false}));

TEST(Script, SkipsBlankAndCommentLinesAndNumbersTheRest) {
  std::string why;
  auto steps = parseScript("start\n\n  # a comment\nwait-page\r\nclick 1006", &why);
  ASSERT_TRUE(steps) << why;
  ASSERT_EQ(steps->size(), 3u);
  EXPECT_EQ((*steps)[0].line, 1);
  EXPECT_EQ((*steps)[1].line, 4);
  EXPECT_EQ((*steps)[1].words, std::vector<std::string>{"wait-page"});
  EXPECT_EQ((*steps)[2].line, 5);
}

TEST(Script, NamesTheLineOfAnError) {
  std::string why;
  EXPECT_FALSE(parseScript("start\nsettext 1000 \"C:\\x\n", &why));
  EXPECT_EQ(why.rfind("line 2: ", 0), 0u) << why;
}

}  // namespace
}  // namespace e2e
