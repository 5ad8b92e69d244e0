#include <gtest/gtest.h>

#include "tests/fake/fake_platform.h"
#include "texts/language.h"
#include "texts/texts.h"

namespace zorv {
namespace {

constexpr char kReadKey[] = "HKLM\\SOFTWARE\\Zantrel\\Installer";
constexpr char kWriteKey[] = "HKLM\\SoftWare\\Zantrel\\Installer";

struct StoredCase {
  std::optional<std::string> stored;
  int language;
  bool rewrite;
};
void PrintTo(const StoredCase& c, std::ostream* os) {
  *os << (c.stored ? '"' + *c.stored + '"' : std::string("nothing"));
}

class InterpretStored : public testing::TestWithParam<StoredCase> {};

TEST_P(InterpretStored, OnlyEnAndRuInAnyCaseAreKept) {
  StoredLanguage r = interpretStoredLanguage(GetParam().stored);
  EXPECT_EQ(r.language, GetParam().language);
  EXPECT_EQ(r.rewrite, GetParam().rewrite);
}

INSTANTIATE_TEST_SUITE_P(
    Values, InterpretStored,
    testing::Values(StoredCase{"en", kEnglish, false}, StoredCase{"EN", kEnglish, false},
                    StoredCase{"ru", kRussian, false}, StoredCase{"rU", kRussian, false},
                    StoredCase{"RU", kRussian, false}, StoredCase{"de", kEnglish, true},
                    StoredCase{"ru ", kEnglish, true}, StoredCase{"", kEnglish, true},
                    StoredCase{std::nullopt, kEnglish, true}));

class LanguageSetting : public testing::Test {
 protected:
  FakePlatform platform;
  struct {
    int language = 0;
  } state;
  bool wroteKey() const {
    for (const std::string& c : platform.calls)
      if (c.starts_with("createKey")) return true;
    return false;
  }
};

TEST_F(LanguageSetting, FirstStartStoresEnglish) {
  state.language = readLanguage(platform);
  EXPECT_EQ(state.language, kEnglish);
  EXPECT_EQ(platform.value(kWriteKey, "Language"), "en");
}

TEST_F(LanguageSetting, AStoredRussianInCapitalsIsKeptAsItIs) {
  platform.registry[kReadKey]["Language"] = "RU";
  state.language = readLanguage(platform);
  EXPECT_EQ(state.language, kRussian);
  EXPECT_FALSE(wroteKey());
}

TEST_F(LanguageSetting, AnyOtherStoredTextBecomesEnglish) {
  platform.registry[kReadKey]["Language"] = "de";
  state.language = kRussian;
  state.language = readLanguage(platform);
  EXPECT_EQ(state.language, kEnglish);
  EXPECT_EQ(platform.value(kWriteKey, "Language"), "en");
}

TEST_F(LanguageSetting, AKeyThatCannotBeWrittenFailsSilently) {
  platform.failKey.insert(kWriteKey);
  state.language = readLanguage(platform);
  EXPECT_EQ(state.language, kEnglish);
  EXPECT_EQ(platform.value(kWriteKey, "Language"), "<missing>");
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(LanguageSetting, WriteStoresTheCodeUnderTheInstallersKey) {
  state.language = kRussian;
  writeLanguage(state.language, platform);
  EXPECT_EQ(platform.value(kWriteKey, "Language"), "ru");
  EXPECT_EQ(platform.calls, (std::vector<std::string>{std::string("createKey ") + kWriteKey,
                                                      "setString Language"}));
}

}  // namespace
}  // namespace zorv
