#include "tools/pe/resource_section.h"

#include <algorithm>
#include <map>

namespace zorv::pe {

namespace {

constexpr std::uint64_t kDataAlignment = 8;

struct NameGroup {
  std::size_t first = 0;  // index of its first item (languages follow in order)
  std::size_t count = 0;
  std::uint64_t tableOffset = 0;  // of its language table
};

struct TypeGroup {
  std::size_t first = 0;
  std::vector<NameGroup> names;
  std::uint64_t tableOffset = 0;  // of its name table
};

struct SpanLess {
  bool operator()(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
  }
};

std::vector<TypeGroup> groupItems(const std::vector<ResourceItem>& items) {
  std::vector<TypeGroup> types;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i == 0 || compareKeys(items[i].type, items[i - 1].type) != 0) {
      types.push_back({i, {}, 0});
    }
    auto& names = types.back().names;
    if (names.empty() || compareKeys(items[i].name, items[names.back().first].name) != 0) {
      names.push_back({i, 0, 0});
    }
    ++names.back().count;
  }
  return types;
}

std::unexpected<std::string> tooMany() {
  return std::unexpected<std::string>("too many resources in one directory table");
}

std::uint64_t tableSize(std::size_t entries) { return kResDirectorySize + entries * kResEntrySize; }

class SectionWriter {
 public:
  explicit SectionWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // A table header; all the tables we write have neither time stamp nor version.
  void table(std::uint64_t offset, std::size_t named, std::size_t ids) {
    storeLE16(&out_[offset + kResDirNamedCountOffset], static_cast<std::uint16_t>(named));
    storeLE16(&out_[offset + kResDirIdCountOffset], static_cast<std::uint16_t>(ids));
  }
  // The header of a table of these keys; false when a count does not fit its 16 bits.
  bool table(std::uint64_t offset, const std::vector<const ResourceKey*>& keys) {
    const auto named = static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(), [](const ResourceKey* k) { return k->named; }));
    if (named > 0xFFFF || keys.size() - named > 0xFFFF) return false;
    table(offset, named, keys.size() - named);
    return true;
  }
  void entry(std::uint64_t tableOffset, std::size_t index, std::uint32_t nameField,
             std::uint32_t dataField) {
    std::uint8_t* p = &out_[tableOffset + kResDirectorySize + index * kResEntrySize];
    storeLE32(p, nameField);
    storeLE32(p + 4, dataField);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace

std::expected<SplitSection, std::string> buildSplitResourceSection(std::vector<ResourceItem> items,
                                                                   std::uint32_t sectionRva) {
  if (std::count_if(items.begin(), items.end(), [](const ResourceItem& i) { return i.deferred; }) >
      1) {
    return std::unexpected("more than one resource is written later");
  }
  std::stable_sort(items.begin(), items.end(), [](const ResourceItem& a, const ResourceItem& b) {
    if (int c = compareKeys(a.type, b.type)) return c < 0;
    if (int c = compareKeys(a.name, b.name)) return c < 0;
    return a.language < b.language;
  });
  std::vector<TypeGroup> types = groupItems(items);

  // Offsets of everything, in 64 bits so that nothing wraps before the size check.
  std::uint64_t at = tableSize(types.size());
  for (TypeGroup& t : types) {
    t.tableOffset = at;
    at += tableSize(t.names.size());
  }
  for (TypeGroup& t : types) {
    for (NameGroup& n : t.names) {
      n.tableOffset = at;
      at += tableSize(n.count);
    }
  }
  const std::uint64_t dataEntriesOffset = at;
  at += items.size() * kResDataEntrySize;
  std::map<std::span<const std::uint8_t>, std::uint64_t, SpanLess> strings;
  auto placeString = [&](const ResourceKey& k) {
    if (k.named && strings.emplace(k.name, at).second) at += kResStringLengthSize + k.name.size();
  };
  for (const TypeGroup& t : types) {
    placeString(items[t.first].type);
    for (const NameGroup& n : t.names) placeString(items[n.first].name);
  }
  std::vector<std::uint64_t> dataOffsets;
  dataOffsets.reserve(items.size());
  SplitSection split;
  for (const ResourceItem& item : items) {
    at = alignUp(at, kDataAlignment);
    dataOffsets.push_back(at);
    if (item.deferred) split = {{}, at, item.deferredSize};
    at += item.size();
  }
  const std::uint64_t total = alignUp(at, kDataAlignment);
  if (total > kResHighBit - 1 || total > 0xFFFFFFFFull - sectionRva) {
    return std::unexpected("resources too large for a resource section");
  }

  // Tables, data entries and names all lie before the data, so only data after the hole moves.
  std::vector<std::uint8_t>& out = split.bytes;
  out.assign(static_cast<std::size_t>(total - split.holeSize), 0);
  auto place = [&split](std::uint64_t offset) {
    const bool after = split.holeSize != 0 && offset >= split.holeAt + split.holeSize;
    return static_cast<std::ptrdiff_t>(after ? offset - split.holeSize : offset);
  };
  SectionWriter w(out);
  auto nameField = [&](const ResourceKey& k) {
    return k.named ? kResHighBit | static_cast<std::uint32_t>(strings.at(k.name)) : k.id;
  };
  std::vector<const ResourceKey*> keys;
  for (const TypeGroup& t : types) keys.push_back(&items[t.first].type);
  if (!w.table(0, keys)) return tooMany();
  for (std::size_t ti = 0; ti < types.size(); ++ti) {
    const TypeGroup& t = types[ti];
    w.entry(0, ti, nameField(items[t.first].type), kResHighBit | std::uint32_t(t.tableOffset));
    keys.clear();
    for (const NameGroup& n : t.names) keys.push_back(&items[n.first].name);
    if (!w.table(t.tableOffset, keys)) return tooMany();
    for (std::size_t ni = 0; ni < t.names.size(); ++ni) {
      const NameGroup& n = t.names[ni];
      w.entry(t.tableOffset, ni, nameField(items[n.first].name),
              kResHighBit | std::uint32_t(n.tableOffset));
      if (n.count > 0xFFFF) return tooMany();
      w.table(n.tableOffset, 0, n.count);
      for (std::size_t li = 0; li < n.count; ++li) {
        const std::size_t i = n.first + li;
        w.entry(n.tableOffset, li, items[i].language,
                std::uint32_t(dataEntriesOffset + i * kResDataEntrySize));
      }
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::uint8_t* p = &out[dataEntriesOffset + i * kResDataEntrySize];
    storeLE32(p, sectionRva + std::uint32_t(dataOffsets[i]));
    storeLE32(p + 4, std::uint32_t(items[i].size()));
    storeLE32(p + 8, items[i].codePage);
    if (!items[i].deferred)
      std::copy(items[i].data.begin(), items[i].data.end(), out.begin() + place(dataOffsets[i]));
  }
  for (const auto& [name, offset] : strings) {
    storeLE16(&out[offset], static_cast<std::uint16_t>(name.size() / 2));
    std::copy(name.begin(), name.end(),
              out.begin() + std::ptrdiff_t(offset + kResStringLengthSize));
  }
  return split;
}

std::expected<std::vector<std::uint8_t>, std::string> buildResourceSection(
    std::vector<ResourceItem> items, std::uint32_t sectionRva) {
  if (std::any_of(items.begin(), items.end(), [](const ResourceItem& i) { return i.deferred; }))
    return std::unexpected("a resource's bytes are missing");
  auto split = buildSplitResourceSection(std::move(items), sectionRva);
  if (!split) return std::unexpected(std::move(split.error()));
  return std::move(split->bytes);
}

}  // namespace zorv::pe
