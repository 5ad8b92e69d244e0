// Reading resources: the lookup the setup tools use on a built setup.exe, and the listing the
// inspector shows.
#include "tools/pe/pe_resources.h"

#include "platform/utf8.h"
#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"

namespace zorv {

namespace {

using pe::ResourceDirectoryEntry;
using pe::ResourceKey;

// A listing copies every name once per resource; a damaged image can point many resources
// at one long name, so the copies are bounded in total.
constexpr std::size_t kMaxListedNameUnits = std::size_t(1) << 22;

const ResourceDirectoryEntry* findEntry(const std::vector<ResourceDirectoryEntry>& entries,
                                        const ResourceKey& key) {
  for (const ResourceDirectoryEntry& e : entries) {
    if (pe::sameKey(e.key, key)) return &e;
  }
  return nullptr;
}

// Names are UTF-16; an unpaired surrogate becomes U+FFFD.
PeResourceKey publicKey(const ResourceKey& k) {
  PeResourceKey out;
  out.named = k.named;
  out.id = k.id;
  std::u16string units;
  for (std::size_t i = 0; i < k.length(); ++i) units += k.unit(i);
  out.text = utf16ToUtf8(units);
  return out;
}

}  // namespace

std::string PeResourceKey::toString() const { return named ? text : "#" + std::to_string(id); }

bool looksLikePe(std::span<const std::uint8_t> image) { return pe::parseImage(image).has_value(); }

std::expected<std::span<const std::uint8_t>, std::string> findPeResource(
    std::span<const std::uint8_t> image, std::string_view type, std::uint16_t id) {
  auto img = pe::parseImage(image);
  if (!img) return std::unexpected(std::move(img.error()));
  std::vector<std::uint8_t> storage;
  auto typeKey = pe::keyFromText(type, storage);
  if (!typeKey) return std::unexpected("resource type must be an ASCII name or #number");
  auto dir = pe::resourceDirectoryBytes(image, *img);
  if (!dir) return std::unexpected(std::move(dir.error()));
  if (dir->empty()) return std::unexpected("image has no resources");
  // Three tables, one per level: the walk cannot loop, whatever the offsets say.
  auto types = pe::readResourceDirectory(*dir, 0);
  if (!types) return std::unexpected(std::move(types.error()));
  const ResourceDirectoryEntry* t = findEntry(*types, *typeKey);
  if (!t || !t->isDirectory)
    return std::unexpected(t ? "resource type entry is not a directory"
                             : "no resource of that type");
  auto names = pe::readResourceDirectory(*dir, t->offset);
  if (!names) return std::unexpected(std::move(names.error()));
  const ResourceDirectoryEntry* n = findEntry(*names, ResourceKey{false, id, {}});
  if (!n || !n->isDirectory)
    return std::unexpected(n ? "resource name entry is not a directory"
                             : "no resource with that id");
  auto languages = pe::readResourceDirectory(*dir, n->offset);
  if (!languages) return std::unexpected(std::move(languages.error()));
  if (languages->empty() || languages->front().isDirectory)
    return std::unexpected(languages->empty() ? "resource has no language"
                                              : "resource language entry is a directory");
  auto entry = pe::readResourceDataEntry(*dir, languages->front().offset);
  if (!entry) return std::unexpected(std::move(entry.error()));
  auto data = pe::mapRva(image, *img, entry->rva, entry->size);
  if (!data) return std::unexpected("resource data lies outside the file data of every section");
  return *data;
}

std::expected<std::vector<PeResourceInfo>, std::string> listPeResources(
    std::span<const std::uint8_t> image) {
  auto img = pe::parseImage(image);
  if (!img) return std::unexpected(std::move(img.error()));
  auto items = pe::readResourceItems(image, *img);
  if (!items) return std::unexpected(std::move(items.error()));
  std::size_t units = 0;
  for (const pe::ResourceItem& item : *items) {
    units += item.type.length() + item.name.length();
    if (units > kMaxListedNameUnits) return std::unexpected("resource names too long to list");
  }
  std::vector<PeResourceInfo> out;
  out.reserve(items->size());
  for (const pe::ResourceItem& item : *items) {
    out.push_back({publicKey(item.type), publicKey(item.name), item.language, item.codePage,
                   static_cast<std::uint32_t>(item.data.size())});
  }
  return out;
}

std::optional<std::uint32_t> computePeChecksum(std::span<const std::uint8_t> image) {
  auto img = pe::parseImage(image);
  if (!img) return std::nullopt;
  return pe::imageChecksum(image, img->optionalHeaderOffset + pe::kOptChecksumOffset);
}

}  // namespace zorv
