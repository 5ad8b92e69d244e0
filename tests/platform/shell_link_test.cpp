#include "platform/shell_link.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "package/byte_cursor.h"
#include "platform/codepage1251.h"
#include "platform/posix_platform.h"
#include "tests/platform/temp_dir.h"

namespace zorv {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// What a reader of the format finds in a link, read field by field from the bytes.
struct ReadLink {
  std::uint32_t flags = 0, attributes = 0, fileSize = 0, showCommand = 0;
  std::uint64_t writeTime = 0;
  std::vector<std::pair<std::uint8_t, std::string>> items;  // class type, name or volume
  std::string basePath;
  std::u16string basePathUnicode;
  std::u16string name, workingDir;
};

std::string asciiz(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::string s;
  while (at < bytes.size() && bytes[at] != 0) s.push_back(char(bytes[at++]));
  return s;
}

std::u16string utf16z(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::u16string s;
  while (at + 1 < bytes.size() && (bytes[at] | bytes[at + 1]) != 0) {
    s.push_back(char16_t(bytes[at] | bytes[at + 1] << 8));
    at += 2;
  }
  return s;
}

std::u16string counted(ByteCursor& c) {
  std::uint16_t n = c.u16();
  std::u16string s;
  for (std::uint16_t i = 0; i < n; ++i) s.push_back(char16_t(c.u16()));
  return s;
}

std::optional<ReadLink> readLink(std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kClsid[16] = {1,    0x14, 2, 0, 0, 0, 0, 0,
                                              0xC0, 0,    0, 0, 0, 0, 0, 0x46};
  ReadLink link;
  ByteCursor c(bytes);
  if (c.u32() != 0x4C) return std::nullopt;
  auto clsid = c.bytes(16);
  if (!c.ok() || !std::equal(clsid.begin(), clsid.end(), kClsid)) return std::nullopt;
  link.flags = c.u32();
  link.attributes = c.u32();
  c.skip(16);  // creation and access times
  link.writeTime = c.u32() | std::uint64_t(c.u32()) << 32;
  link.fileSize = c.u32();
  c.skip(4);  // icon index
  link.showCommand = c.u32();
  c.skip(12);  // hot key and reserved fields

  if (link.flags & 0x01) {
    std::uint16_t listSize = c.u16();
    ByteCursor list(c.bytes(listSize));
    for (;;) {
      std::uint16_t itemSize = list.u16();
      if (!list.ok() || itemSize == 0) break;
      if (itemSize < 3) return std::nullopt;
      auto item = list.bytes(itemSize - 2);
      if (!list.ok()) return std::nullopt;
      std::uint8_t type = item[0];
      std::size_t nameAt = type == 0x1F ? item.size() : type == 0x2F ? 1 : 12;
      link.items.push_back({type, asciiz(item, nameAt)});
    }
    if (!list.ok() || list.remaining() != 0) return std::nullopt;  // terminal ends the list
  }
  if (link.flags & 0x02) {
    std::size_t start = c.position();
    std::uint32_t size = c.u32();
    if (size < 0x24 || size > c.remaining() + 4) return std::nullopt;
    auto info = bytes.subspan(start, size);
    ByteCursor h(info.subspan(4));
    std::uint32_t headerSize = h.u32(), infoFlags = h.u32(), volumeAt = h.u32(), baseAt = h.u32();
    h.skip(8);
    std::uint32_t baseUnicodeAt = headerSize >= 0x24 ? h.u32() : 0;
    if (infoFlags != 1 || volumeAt >= size || baseAt >= size || baseUnicodeAt >= size)
      return std::nullopt;
    if (loadLE32(info.data() + volumeAt + 4) != 3) return std::nullopt;  // a fixed drive
    link.basePath = asciiz(info, baseAt);
    if (baseUnicodeAt) link.basePathUnicode = utf16z(info, baseUnicodeAt);
    c.skip(size - 4);
  }
  if (link.flags & 0x04) link.name = counted(c);
  if (link.flags & 0x10) link.workingDir = counted(c);
  if (c.u32() != 0 || !c.ok() || c.remaining() != 0) return std::nullopt;
  return link;
}

TEST(ShellLink, CarriesTargetDescriptionAndWorkingDirectory) {
  ShellLinkFields f;
  f.target = "C:\\Apps\\Demo\\demo.exe";
  f.description = "demo.exe";
  f.workingDirectory = "C:\\Apps\\Demo";
  f.fileAttributes = kFileAttributeArchive;
  f.fileSize = 12345;
  f.writeTime = 0x01D2030405060708;
  std::vector<std::uint8_t> bytes = makeShellLink(f);
  std::optional<ReadLink> link = readLink(bytes);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->flags, 0x97u);  // ID list, link info, name, working dir, Unicode
  EXPECT_EQ(link->attributes, kFileAttributeArchive);
  EXPECT_EQ(link->fileSize, 12345u);
  EXPECT_EQ(link->writeTime, f.writeTime);
  EXPECT_EQ(link->showCommand, 1u);
  EXPECT_EQ(link->items,
            (std::vector<std::pair<std::uint8_t, std::string>>{
                {0x1F, ""}, {0x2F, "C:\\"}, {0x31, "Apps"}, {0x31, "Demo"}, {0x32, "demo.exe"}}));
  EXPECT_EQ(link->basePath, f.target);
  EXPECT_EQ(link->basePathUnicode, u"C:\\Apps\\Demo\\demo.exe");
  EXPECT_EQ(link->name, u"demo.exe");
  EXPECT_EQ(link->workingDir, u"C:\\Apps\\Demo");
}

TEST(ShellLink, TableOfTargets) {
  using Items = std::vector<std::pair<std::uint8_t, std::string>>;
  struct Row {
    const char* target;
    std::uint32_t attributes;
    Items items;  // empty: no ID list
  } rows[] = {
      {"c:\\x", 0, {{0x1F, ""}, {0x2F, "C:\\"}, {0x32, "x"}}},
      {"D:\\", 0, {{0x1F, ""}, {0x2F, "D:\\"}}},
      {"E:\\a\\\\bc\\", 0, {{0x1F, ""}, {0x2F, "E:\\"}, {0x31, "a"}, {0x32, "bc"}}},
      {"Z:\\opt\\tool",
       kFileAttributeDirectory,
       {{0x1F, ""}, {0x2F, "Z:\\"}, {0x31, "opt"}, {0x31, "tool"}}},
      {"C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\\xC4.exe",
       0,
       {{0x1F, ""},
        {0x2F, "C:\\"},
        {0x31, "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB"},
        {0x32, "\xC4.exe"}}},
      {"relative\\file.exe", 0, {}},
      {"\\\\server\\share\\file.exe", 0, {}},
      {"", 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target);
    ShellLinkFields f;
    f.target = row.target;
    f.fileAttributes = row.attributes;
    std::optional<ReadLink> link = readLink(makeShellLink(f));
    ASSERT_TRUE(link);
    EXPECT_EQ((link->flags & 0x01) != 0, !row.items.empty());
    EXPECT_EQ(link->flags & 0x14, 0u);  // neither description nor working directory
    EXPECT_EQ(link->items, row.items);
    EXPECT_EQ(link->basePath, row.target);
    EXPECT_EQ(link->basePathUnicode, widenCp1251(row.target));
  }
}

TEST(ShellLink, TextsTooLongForTheirCountAreRefused) {
  ShellLinkFields f;
  f.target = "C:\\a";
  f.description = std::string(65535, 'd');
  EXPECT_FALSE(makeShellLink(f).empty());
  f.description.push_back('d');
  EXPECT_TRUE(makeShellLink(f).empty());
  f.description.clear();
  f.workingDirectory = std::string(65536, 'w');
  EXPECT_TRUE(makeShellLink(f).empty());
  f.workingDirectory.clear();
  f.target = "C:\\" + std::string(70000, 'n');
  EXPECT_TRUE(makeShellLink(f).empty());
}

TEST(ShellLink, WindowsPathsForLinks) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"/tmp/x\\sub\\file.txt", "Z:\\tmp\\x\\sub\\file.txt"},
      {"\\opt\\demo", "Z:\\opt\\demo"},
      {"/", "Z:\\"},
      {"C:\\Apps\\Demo", "C:\\Apps\\Demo"},
      {"c:/Apps/Demo", "c:\\Apps\\Demo"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"relative/name", "relative\\name"},
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(windowsPathForLink(row.in), row.out) << row.in;
}

TEST(ShellLink, FileTimes) {
  EXPECT_EQ(fileTimeFromUnix(0, 0), 116444736000000000u);
  EXPECT_EQ(fileTimeFromUnix(1, 999), 116444736010000009u);
  EXPECT_EQ(fileTimeFromUnix(-11644473600, 0), 0u);
  EXPECT_EQ(fileTimeFromUnix(-11644473601, 0), 0u);
}

// The lines "Name<tabs>: value" of a lnkinfo report; a name seen twice keeps its last value.
std::map<std::string, std::string> lnkinfoFields(const std::string& report) {
  std::map<std::string, std::string> fields;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos || colon == 0) continue;
    std::size_t from = line.find_first_not_of('\t');
    std::size_t to = line.find_last_not_of("\t ", colon - 1);
    if (from == std::string::npos || to == std::string::npos || to < from) continue;
    fields[line.substr(from, to - from + 1)] = line.substr(colon + 2);
  }
  return fields;
}

class SavedLinks : public ::testing::Test {
 protected:
  TempDir dir;
  PosixPlatform platform{posixPlatformOptionsFor(dir.path(), "")};
};

TEST_F(SavedLinks, LnkinfoReadsTargetDescriptionAndWorkingDirectory) {
  if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "no lnkinfo";
  std::filesystem::create_directories(dir / "dest/bin");
  writeFile(dir / "dest/bin/demo", "0123456789");
  std::optional<std::string> programs = platform.specialFolder(SpecialFolder::Programs);
  ASSERT_TRUE(programs);
  ASSERT_TRUE(platform.createDirectory(*programs + "\\Demo"));
  const std::string link = *programs + "\\Demo\\\xC4\xE5\xEC\xEE.lnk";  // Демо.lnk
  ASSERT_TRUE(platform.beginLinks(dir / "dest"));
  // The description is the target's name as the package stores it: "bin\Демо-клиент".
  ASSERT_TRUE(platform.saveLink(link, dir / "dest\\bin\\demo",
                                "bin\\\xC4\xE5\xEC\xEE-\xEA\xEB\xE8\xE5\xED\xF2"));
  platform.endLinks();

  const std::string report = dir / "lnkinfo.txt";
  std::string command = "lnkinfo '" + posixPath(link) + "' > '" + report + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << readFile(report);
  std::map<std::string, std::string> fields = lnkinfoFields(readFile(report));
  EXPECT_EQ(fields["Local path"], windowsPathForLink(dir / "dest/bin/demo"));
  EXPECT_EQ(fields["Description"], "bin\\Демо-клиент");
  EXPECT_EQ(fields["Working directory"], windowsPathForLink(dir / "dest"));
  EXPECT_EQ(fields["File size"], "10 bytes");
  EXPECT_EQ(fields["Drive type"], "Fixed (3)");
  EXPECT_EQ(fields["Name"], "demo");  // the last item of the ID list
}

TEST_F(SavedLinks, AMissingTargetGivesALinkWithoutFileData) {
  ASSERT_TRUE(platform.beginLinks("/nowhere"));
  ASSERT_TRUE(platform.saveLink(dir / "x.lnk", "/nowhere\\x.exe", "x.exe"));
  std::string bytes = readFile(dir / "x.lnk");
  std::optional<ReadLink> link =
      readLink({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  ASSERT_TRUE(link);
  EXPECT_EQ(link->attributes, 0u);
  EXPECT_EQ(link->fileSize, 0u);
  EXPECT_EQ(link->writeTime, 0u);
  EXPECT_EQ(link->basePath, "Z:\\nowhere\\x.exe");
  EXPECT_EQ(link->workingDir, u"Z:\\nowhere");
}

TEST_F(SavedLinks, LinksNeedASessionAndAFolder) {
  EXPECT_FALSE(platform.saveLink(dir / "a.lnk", "/bin/sh", "sh"));  // no session yet
  ASSERT_TRUE(platform.beginLinks(dir.path()));
  EXPECT_FALSE(platform.saveLink(dir / "missing\\a.lnk", "/bin/sh", "sh"));
  EXPECT_TRUE(platform.saveLink(dir / "a.lnk", "/bin/sh", "sh"));
  // Saving again replaces the file, as IPersistFile::Save does.
  EXPECT_TRUE(platform.saveLink(dir / "a.lnk", "/bin/sh", ""));
  std::string bytes = readFile(dir / "a.lnk");
  std::optional<ReadLink> link =
      readLink({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  ASSERT_TRUE(link);
  EXPECT_EQ(link->name, u"");
  platform.endLinks();
  EXPECT_FALSE(platform.saveLink(dir / "b.lnk", "/bin/sh", "sh"));
}

}  // namespace
}  // namespace zorv
