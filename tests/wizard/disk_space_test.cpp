#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "tests/fake/fake_platform.h"
#include "wizard/disk_space.h"

namespace zorv {
namespace {

TEST(DiskSpace, FiguresAreRightAlignedInEightCharactersThenKb) {
  EXPECT_EQ(formatKilobytes(0), "       0kb");
  EXPECT_EQ(formatKilobytes(1023), "    1023kb");
  EXPECT_EQ(formatKilobytes(12345678), "12345678kb");
  EXPECT_EQ(formatKilobytes(4294967295u), "4294967295kb");  // wider than eight: not cut
}

TEST(DiskSpace, BytesBecomeKilobytesTruncated) {
  EXPECT_EQ(freeKilobytes(1048575), 1023u);
  EXPECT_EQ(neededKilobytes(2481773), 2423u);
  EXPECT_EQ(neededKilobytes(1023), 0u);
}

TEST(DiskSpace, AHugeVolumeSaturatesInsteadOfWrapping) {
  EXPECT_EQ(freeKilobytes((std::uint64_t(1) << 42) - 1024), 0xFFFFFFFFu);
  EXPECT_EQ(freeKilobytes(std::uint64_t(1) << 42), 0xFFFFFFFFu);           // 4 TiB: once 0
  EXPECT_EQ(freeKilobytes((std::uint64_t(1) << 42) + 4096), 0xFFFFFFFFu);  // once 4
  EXPECT_EQ(freeKilobytes(~std::uint64_t(0)), 0xFFFFFFFFu);
}

struct ViewCase {
  const char* what;
  std::optional<std::uint64_t> freeBytes;
  std::uint32_t requiredBytes;
  const char* freeText;
  bool showNext;
};
void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.what; }

class DiskSpaceViewTest : public testing::TestWithParam<ViewCase> {};

TEST_P(DiskSpaceViewTest, ShowsNextUnlessFreeIsBelowNeed) {
  const ViewCase& c = GetParam();
  DiskSpaceView v = diskSpaceView(c.freeBytes, c.requiredBytes);
  EXPECT_EQ(v.freeText, c.freeText);
  EXPECT_EQ(v.needText, formatKilobytes(c.requiredBytes >> 10));
  EXPECT_EQ(v.showNext, c.showNext);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskSpaceViewTest,
    testing::Values(ViewCase{"exactly the need", 2423 * 1024, 2481773, "    2423kb", true},
                    ViewCase{"one kilobyte short", 2422 * 1024 + 1023, 2481773, "    2422kb",
                             false},
                    ViewCase{"nothing needed", 0, 1023, "       0kb", true},
                    ViewCase{"4 TiB free, the largest need", std::uint64_t(1) << 42, 0xFFFFFFFFu,
                             "4294967295kb", true},
                    ViewCase{"unknown free space", std::nullopt, 0xFFFFFFFFu, "", true}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      return name;
    });

// A volume that answers only for the folders that exist.
class Volumes : public FakePlatform {
 public:
  std::map<std::string, std::uint64_t> answers;
  std::vector<std::string> asked;
  std::optional<std::uint64_t> freeBytes(std::string_view path) override {
    asked.emplace_back(path);
    auto it = answers.find(std::string(path));
    if (it == answers.end()) return std::nullopt;
    return it->second;
  }
};

TEST(FreeSpaceQuery, AMissingFolderIsAnsweredByItsNearestExistingParent) {
  Volumes v;
  v.answers["D:\\"] = 5;
  v.answers["D:\\Apps"] = 7;
  EXPECT_EQ(queryFreeBytes("D:\\Apps\\New\\Deeper", v), 7u);
  EXPECT_EQ(v.asked,
            (std::vector<std::string>{"D:\\Apps\\New\\Deeper", "D:\\Apps\\New", "D:\\Apps"}));
}

TEST(FreeSpaceQuery, GivesUpAtTheRoot) {
  Volumes v;
  EXPECT_FALSE(queryFreeBytes("Q:\\Nowhere\\App", v));
  EXPECT_EQ(v.asked, (std::vector<std::string>{"Q:\\Nowhere\\App", "Q:\\Nowhere", "Q:\\"}));
}

}  // namespace
}  // namespace zorv
