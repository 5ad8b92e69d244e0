#include "platform/shell_link.h"

#include <cstddef>

#include "package/byte_writer.h"
#include "platform/codepage.h"

namespace zorv {

namespace {

// ShellLinkHeader.
constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint8_t kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kShowNormal = 1;

// Shell items of the ID list.
constexpr std::uint8_t kItemRootFolder = 0x1F;
constexpr std::uint8_t kSortIndexMyComputer = 0x50;
constexpr std::uint8_t kMyComputerClsid[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                               0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
constexpr std::uint8_t kItemVolume = 0x2F;
constexpr std::size_t kVolumeNameField = 22;  // "C:\" and zeros
constexpr std::uint8_t kItemDirectory = 0x31;
constexpr std::uint8_t kItemFile = 0x32;
// size, type, a zero byte, file size, FAT date and time, attributes; the name follows.
constexpr std::size_t kFileItemFixedSize = 14;

// LinkInfo with the optional Unicode offsets, so its header is 0x24 bytes.
constexpr std::uint32_t kLinkInfoHeaderSize = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr std::uint32_t kVolumeIdHeaderSize = 0x10;
constexpr std::uint32_t kDriveFixed = 3;

constexpr std::size_t kMaxCount = 0xFFFF;

bool hasDriveLetter(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::vector<std::string_view> pathElements(std::string_view path) {
  std::vector<std::string_view> elements;
  while (!path.empty()) {
    std::size_t sep = path.find('\\');
    if (sep != 0) elements.push_back(path.substr(0, sep));
    if (sep == std::string_view::npos) break;
    path.remove_prefix(sep + 1);
  }
  return elements;
}

// My Computer, the drive, then one item per element; the last is the target itself.
bool writeIdList(ByteWriter& w, const ShellLinkFields& f) {
  std::size_t start = w.size();
  w.u16(0);  // IDListSize, patched below

  w.u16(20);
  w.u8(kItemRootFolder);
  w.u8(kSortIndexMyComputer);
  w.bytes(kMyComputerClsid);

  w.u16(std::uint16_t(3 + kVolumeNameField));
  w.u8(kItemVolume);
  char drive = f.target[0];
  if (drive >= 'a' && drive <= 'z') drive = char(drive - 'a' + 'A');
  w.u8(std::uint8_t(drive));
  w.text(":\\");
  for (std::size_t i = 3; i < kVolumeNameField; ++i) w.u8(0);

  std::vector<std::string_view> elements = pathElements(std::string_view(f.target).substr(2));
  for (std::size_t i = 0; i < elements.size(); ++i) {
    bool last = i + 1 == elements.size();
    bool directory = !last || (f.fileAttributes & kFileAttributeDirectory) != 0;
    std::size_t nameSize = elements[i].size() + 1;
    std::size_t itemSize = kFileItemFixedSize + nameSize + (nameSize & 1);
    if (itemSize > kMaxCount) return false;
    w.u16(std::uint16_t(itemSize));
    w.u8(directory ? kItemDirectory : kItemFile);
    w.u8(0);
    w.u32(last ? f.fileSize : 0);
    w.u32(0);  // FAT date and time: not known for a simple item
    w.u16(std::uint16_t(last ? f.fileAttributes : kFileAttributeDirectory));
    w.text(elements[i]);
    w.u8(0);
    if (nameSize & 1) w.u8(0);
  }
  w.u16(0);  // TerminalID

  std::size_t listSize = w.size() - start - 2;
  if (listSize > kMaxCount) return false;
  w.patch16(start, std::uint16_t(listSize));
  return true;
}

void writeLinkInfo(ByteWriter& w, std::string_view path, int codePage) {
  std::size_t start = w.size();
  w.u32(0);  // LinkInfoSize
  w.u32(kLinkInfoHeaderSize);
  w.u32(kVolumeIdAndLocalBasePath);
  for (int i = 0; i < 6; ++i) w.u32(0);  // five offsets and the Unicode suffix offset, patched
  auto offsetHere = [&](std::size_t field) {
    w.patch32(start + field, std::uint32_t(w.size() - start));
  };

  offsetHere(12);  // VolumeIDOffset
  w.u32(kVolumeIdHeaderSize + 1);
  w.u32(kDriveFixed);
  w.u32(0);  // DriveSerialNumber
  w.u32(kVolumeIdHeaderSize);
  w.u8(0);  // empty volume label

  offsetHere(16);  // LocalBasePathOffset
  w.text(path);
  w.u8(0);
  offsetHere(24);  // CommonPathSuffixOffset
  w.u8(0);
  offsetHere(28);  // LocalBasePathOffsetUnicode
  w.utf16(systemUtf16(path, codePage));
  w.u16(0);
  offsetHere(32);  // CommonPathSuffixOffsetUnicode
  w.u16(0);

  w.patch32(start, std::uint32_t(w.size() - start));
}

void writeCountedString(ByteWriter& w, std::string_view text, int codePage) {
  std::u16string wide = systemUtf16(text, codePage);
  w.u16(std::uint16_t(wide.size()));
  w.utf16(wide);
}

}  // namespace

std::vector<std::uint8_t> makeShellLink(const ShellLinkFields& f) {
  if (f.description.size() > kMaxCount || f.workingDirectory.size() > kMaxCount) return {};
  bool idList = hasDriveLetter(f.target);
  std::uint32_t flags = kHasLinkInfo | kIsUnicode;
  if (idList) flags |= kHasLinkTargetIdList;
  if (!f.description.empty()) flags |= kHasName;
  if (!f.workingDirectory.empty()) flags |= kHasWorkingDir;

  std::vector<std::uint8_t> bytes;
  ByteWriter w(bytes);
  w.u32(kHeaderSize);
  w.bytes(kShellLinkClsid);
  w.u32(flags);
  w.u32(f.fileAttributes);
  w.u64(f.creationTime);
  w.u64(f.accessTime);
  w.u64(f.writeTime);
  w.u32(f.fileSize);
  w.u32(0);  // IconIndex
  w.u32(kShowNormal);
  w.u16(0);  // HotKey
  w.u16(0);  // Reserved1
  w.u32(0);  // Reserved2
  w.u32(0);  // Reserved3

  if (idList && !writeIdList(w, f)) return {};
  writeLinkInfo(w, f.target, f.codePage);
  // StringData in the format's order: NAME_STRING, RELATIVE_PATH, WORKING_DIR, ...
  if (!f.description.empty()) writeCountedString(w, f.description, f.codePage);
  if (!f.workingDirectory.empty()) writeCountedString(w, f.workingDirectory, f.codePage);
  w.u32(0);  // TerminalBlock of the ExtraData
  return bytes;
}

std::string windowsPathForLink(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '/') c = '\\';
  bool unc = out.size() >= 2 && out[0] == '\\' && out[1] == '\\';
  if (!unc && !out.empty() && out[0] == '\\') out.insert(0, "Z:");
  return out;
}

std::uint64_t fileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  if (seconds < -kSecondsFrom1601To1970) return 0;
  return std::uint64_t(seconds + kSecondsFrom1601To1970) * 10000000u + nanoseconds / 100;
}

}  // namespace zorv
