// The inspector's libraries: what a setup installs, read from its package, and a package file
// found raw or inside a setup.exe.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/install/install_fixture.h"
#include "tools/examine/package_file.h"
#include "tools/examine/setup_listing.h"

namespace zorv {
namespace {

std::unique_ptr<Package> opened(const std::vector<std::uint8_t>& bytes) {
  std::string why;
  auto package = openPackage(bytes, &why);
  EXPECT_TRUE(package) << why;
  return package;
}

TEST(SetupListing, FilesInTheRunsOrderWithLinksAndTheKey) {
  TestPackage pkg;
  pkg.file("a.txt", "aa");
  pkg.dir("data", {pkg.nestedFile("data\\b.dat", "bbb")});
  pkg.link(kTagGroupLink, "Demo\\Demo", "a.txt");
  pkg.root("HCU", "Software\\Zorv\\Demo");
  pkg.value("Path", "REG_SZ", "DESTDIR");
  const std::vector<std::uint8_t> bytes = pkg.writer.finish().value();
  auto package = opened(bytes);
  ASSERT_TRUE(package);
  const auto listing = listSetup(*package);
  ASSERT_TRUE(listing) << listing.error();
  ASSERT_EQ(listing->files.size(), 2u);
  EXPECT_EQ(listing->files[0].name, "a.txt");
  EXPECT_EQ(listing->files[1].name, "data\\b.dat");
  EXPECT_EQ(listing->bytes, 5u);
  ASSERT_EQ(listing->links.size(), 1u);
  EXPECT_EQ(listing->links[0].target, "a.txt");
  EXPECT_EQ(listing->keyPath, "Software\\Zorv\\Demo");
  ASSERT_EQ(listing->values.size(), 1u);
  EXPECT_EQ(listing->values[0].data, "DESTDIR");
}

TEST(SetupListing, ARecordTheRunCannotReadFailsTheListingByItsEntry) {
  TestPackage pkg;
  pkg.file("a.txt", "aa");
  pkg.add(kTagRoot, Bytes{'H', 'C', 'U'});  // no key path
  const std::vector<std::uint8_t> bytes = pkg.writer.finish().value();
  auto package = opened(bytes);
  ASSERT_TRUE(package);
  const auto listing = listSetup(*package);
  ASSERT_FALSE(listing);
  EXPECT_NE(listing.error().find("entry 1"), std::string::npos) << listing.error();
}

TEST(PackageFile, ARawPackageLoadsAndOtherFilesAreNamedInTheReason) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zorv-examine-test";
  std::filesystem::create_directories(dir);
  TestPackage pkg;
  pkg.file("a.txt", "aa");
  const std::vector<std::uint8_t> bytes = pkg.writer.finish().value();
  const std::string raw = (dir / "raw.pkg").string(), junk = (dir / "junk.bin").string();
  for (const auto& [path, body] :
       {std::pair{raw, bytes}, std::pair{junk, std::vector<std::uint8_t>(64, 'x')}}) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);
  }
  const auto loaded = loadPackageFile(raw);
  ASSERT_TRUE(loaded) << loaded.error();
  EXPECT_EQ(loaded->package->entryCount(), 1u);
  for (const std::string& path : {junk, (dir / "missing").string()}) {
    const auto refused = loadPackageFile(path);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().starts_with(path)) << refused.error();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zorv
