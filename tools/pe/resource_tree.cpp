#include "tools/pe/resource_tree.h"

#include <algorithm>
#include <unordered_set>

namespace zorv::pe {

namespace {

char16_t foldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// The levels of the tree below the root: names, then languages.
constexpr int kLevels = 3;

}  // namespace

int compareKeys(const ResourceKey& a, const ResourceKey& b) {
  if (a.named != b.named) return a.named ? -1 : 1;
  if (!a.named) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
  const std::size_t n = std::min(a.length(), b.length());
  for (std::size_t i = 0; i < n; ++i) {
    if (a.unit(i) != b.unit(i)) return a.unit(i) < b.unit(i) ? -1 : 1;
  }
  return a.length() < b.length() ? -1 : a.length() > b.length() ? 1 : 0;
}

bool sameKey(const ResourceKey& a, const ResourceKey& b) {
  if (a.named != b.named) return false;
  if (!a.named) return a.id == b.id;
  if (a.length() != b.length()) return false;
  for (std::size_t i = 0; i < a.length(); ++i) {
    if (foldAscii(a.unit(i)) != foldAscii(b.unit(i))) return false;
  }
  return true;
}

std::optional<ResourceKey> keyFromText(std::string_view text, std::vector<std::uint8_t>& storage) {
  if (text.empty()) return std::nullopt;
  ResourceKey key;
  if (text[0] == '#') {
    std::uint32_t n = 0;
    if (text.size() < 2 || text.size() > 6) return std::nullopt;
    for (char c : text.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + std::uint32_t(c - '0');
    }
    if (n == 0 || n > 0xFFFF) return std::nullopt;
    key.id = static_cast<std::uint16_t>(n);
    return key;
  }
  storage.clear();
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0 || u >= 0x80) return std::nullopt;
    storage.push_back(static_cast<std::uint8_t>(foldAscii(u)));
    storage.push_back(0);
  }
  if (storage.size() / 2 > 0xFFFF) return std::nullopt;
  key.named = true;
  key.name = storage;
  return key;
}

std::expected<std::span<const std::uint8_t>, std::string> resourceDirectoryBytes(
    std::span<const std::uint8_t> file, const Image& image) {
  const DataDirectory d = image.directory(kDirectoryResource);
  if (d.rva == 0 || d.size == 0) return std::span<const std::uint8_t>{};
  // The loader reads the tree anywhere in the section, whatever the directory's declared size.
  auto bytes = mapRvaToSectionEnd(file, image, d.rva);
  if (!bytes) return std::unexpected("resource directory lies outside every section's file data");
  return *bytes;
}

// Directory table at `offset`: 12 bytes of characteristics, time stamp and version, the named
// and id entry counts, then the entries. A name string is a u16 length and that many units.
std::expected<std::vector<ResourceDirectoryEntry>, std::string> readResourceDirectory(
    std::span<const std::uint8_t> dir, std::uint32_t offset) {
  ByteCursor c = ByteCursor(dir).at(offset);
  c.skip(kResDirNamedCountOffset);
  const std::size_t named = c.u16();
  const std::size_t count = named + c.u16();
  auto entries = c.bytes(count * kResEntrySize);
  if (!c.ok()) return std::unexpected("resource directory table runs past the end of its section");
  std::vector<ResourceDirectoryEntry> out;
  out.reserve(count);
  ByteCursor e(entries);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t nameField = e.u32();
    const std::uint32_t dataField = e.u32();
    ResourceDirectoryEntry entry;
    if (nameField & kResHighBit) {
      ByteCursor s = ByteCursor(dir).at(nameField & ~kResHighBit);
      const std::uint16_t length = s.u16();
      entry.key.named = true;
      entry.key.name = s.bytes(std::size_t(length) * 2);
      if (!s.ok()) return std::unexpected("resource name runs past the end of its section");
    } else {
      entry.key.id = static_cast<std::uint16_t>(nameField);
    }
    entry.isDirectory = (dataField & kResHighBit) != 0;
    entry.offset = dataField & ~kResHighBit;
    out.push_back(entry);
  }
  return out;
}

// Data entry: OffsetToData (an RVA, not an offset into the directory), Size, CodePage, and a
// reserved word.
std::expected<ResourceDataEntry, std::string> readResourceDataEntry(
    std::span<const std::uint8_t> dir, std::uint32_t offset) {
  ByteCursor c = ByteCursor(dir).at(offset);
  ResourceDataEntry entry;
  entry.rva = c.u32();
  entry.size = c.u32();
  entry.codePage = c.u32();
  c.skip(4);
  if (!c.ok()) return std::unexpected("resource data entry runs past the end of its section");
  return entry;
}

namespace {

using Done = std::expected<void, std::string>;

struct TreeWalk {
  std::span<const std::uint8_t> file;
  const Image& image;
  std::span<const std::uint8_t> dir;
  std::unordered_set<std::uint32_t> visited;
  std::vector<ResourceItem> items;

  // Walks the table at `offset`, `level` 0 (types) to 2 (languages), the keys above it given.
  Done walk(std::uint32_t offset, int level, const ResourceKey& type, const ResourceKey& name) {
    if (!visited.insert(offset).second)
      return std::unexpected("resource directory is cyclic or shared");
    auto entries = readResourceDirectory(dir, offset);
    if (!entries) return std::unexpected(std::move(entries.error()));
    for (const ResourceDirectoryEntry& e : *entries) {
      const bool leafLevel = level == kLevels - 1;
      if (e.isDirectory == leafLevel)
        return std::unexpected(leafLevel ? "resource language entry is a directory"
                                         : "resource type or name entry is not a directory");
      Done done = level == 0   ? walk(e.offset, 1, e.key, name)
                  : level == 1 ? walk(e.offset, 2, type, e.key)
                               : addLeaf(e, type, name);
      if (!done) return done;
    }
    return {};
  }

  Done addLeaf(const ResourceDirectoryEntry& e, const ResourceKey& type, const ResourceKey& name) {
    if (e.key.named) return std::unexpected("resource language is a name, not a number");
    auto entry = readResourceDataEntry(dir, e.offset);
    if (!entry) return std::unexpected(std::move(entry.error()));
    auto data = mapRva(file, image, entry->rva, entry->size);
    if (!data) return std::unexpected("resource data lies outside the file data of every section");
    items.push_back({type, name, e.key.id, entry->codePage, *data});
    return {};
  }
};

}  // namespace

std::expected<std::vector<ResourceItem>, std::string> readResourceItems(
    std::span<const std::uint8_t> file, const Image& image) {
  auto dir = resourceDirectoryBytes(file, image);
  if (!dir) return std::unexpected(std::move(dir.error()));
  if (dir->empty()) return std::vector<ResourceItem>{};
  TreeWalk w{file, image, *dir, {}, {}};
  if (Done done = w.walk(0, 0, {}, {}); !done) return std::unexpected(std::move(done.error()));
  return std::move(w.items);
}

}  // namespace zorv::pe
