// The Wine floor: the least a 32-bit Windows program must do to install a package's files.
// It maps the package, and for every file unpacks the same zlib blocks that setup.exe unpacks
// and writes them with the bare system calls: CreateDirectoryA once per folder, CreateFileA,
// WriteFile per block, CloseHandle. No page, no log, no checks beyond the reader's own.
//   usage: bare_extractor PACKAGE DESTINATION
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "install/records.h"
#include "package/held_entry.h"
#include "package/package.h"

namespace {

using namespace zorv;

struct Floor {
  Package& package;
  std::string destination;
  std::set<std::string> folders{};  // folders made (or found) so far
};

bool writeFile(Floor& f, const CopyRecord& file) {
  std::string path = f.destination;
  const std::string_view name = file.name;
  for (std::size_t cut = name.find('\\'); cut != std::string_view::npos;
       cut = name.find('\\', cut + 1)) {
    std::string folder = f.destination + "\\" + std::string(name.substr(0, cut));
    if (f.folders.insert(folder).second) CreateDirectoryA(folder.c_str(), nullptr);
  }
  path += "\\";
  path += name;
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (std::uint32_t b = 0; ok && b < file.blocks.size(); ++b) {
    const std::optional<Buffer> block = f.package.readRange(file.blocks[b].range);
    DWORD written = 0;
    ok = block && (block->size == 0 ||
                   (WriteFile(out, block->data.get(), DWORD(block->size), &written, nullptr) &&
                    written == block->size));
  }
  CloseHandle(out);
  return ok;
}

bool writeMembers(Floor& f, const DirectoryRecord& dir) {
  for (std::uint32_t m = 0; m < dir.members.size(); ++m) {
    const RangeItem member = dir.members[m];
    const std::optional<Buffer> body = f.package.readRange(member.range);
    if (!body) return false;
    if (member.tag == kTagCopyDir) {
      const std::optional<DirectoryRecord> sub = parseDirectoryRecord(body->bytes());
      if (!sub || !writeMembers(f, *sub)) return false;
    } else if (member.tag == kTagCopy) {
      const std::optional<CopyRecord> file = parseCopyRecord(body->bytes());
      if (!file || !writeFile(f, *file)) return false;
    }
  }
  return true;
}

// The package file, mapped read-only as setup.exe's own image holds its resource.
std::span<const std::uint8_t> mapFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  const DWORD size = GetFileSize(file, nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);
  if (mapping == nullptr) return {};
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);
  if (view == nullptr) return {};
  return {static_cast<const std::uint8_t*>(view), size};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_extractor PACKAGE DESTINATION\n");
    return 2;
  }
  const std::span<const std::uint8_t> bytes = mapFile(argv[1]);
  std::string why;
  std::unique_ptr<Package> package = openPackage(bytes, &why);
  if (!package) {
    std::fprintf(stderr, "bare_extractor: %s: %s\n", argv[1], why.c_str());
    return 1;
  }
  Floor f{*package, argv[2]};
  CreateDirectoryA(f.destination.c_str(), nullptr);
  bool ok = forEachEntry(*package, kTagCopy, 0, -1, [&](std::int32_t i) {
    const HeldEntry held(*package, i);
    std::optional<CopyRecord> file;
    if (held.body()) file = parseCopyRecord(*held.body());
    return file && writeFile(f, *file);
  });
  ok = ok && forEachEntry(*package, kTagCopyDir, 0, -1, [&](std::int32_t i) {
         const HeldEntry held(*package, i);
         std::optional<DirectoryRecord> dir;
         if (held.body()) dir = parseDirectoryRecord(*held.body());
         return dir && writeMembers(f, *dir);
       });
  if (!ok) std::fprintf(stderr, "bare_extractor: a file could not be written\n");
  return ok ? 0 : 1;
}
