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

bool looksLikePe(std::span<const std::uint8_t> image) {
  return pe::parseImage(image, nullptr).has_value();
}

std::optional<std::span<const std::uint8_t>> findPeResource(std::span<const std::uint8_t> image,
                                                            std::string_view type,
                                                            std::uint16_t id, std::string* why) {
  auto img = pe::parseImage(image, why);
  if (!img) return std::nullopt;
  std::vector<std::uint8_t> storage;
  auto typeKey = pe::keyFromText(type, storage);
  if (!typeKey) {
    pe::fail(why, "resource type must be an ASCII name or #number");
    return std::nullopt;
  }
  std::string reason;
  auto dir = pe::resourceDirectoryBytes(image, *img, &reason);
  if (!dir) {
    pe::fail(why, reason.empty() ? "image has no resources" : reason);
    return std::nullopt;
  }
  // Three tables, one per level: the walk cannot loop, whatever the offsets say.
  auto types = pe::readResourceDirectory(*dir, 0, why);
  if (!types) return std::nullopt;
  const ResourceDirectoryEntry* t = findEntry(*types, *typeKey);
  if (!t || !t->isDirectory) {
    pe::fail(why, t ? "resource type entry is not a directory" : "no resource of that type");
    return std::nullopt;
  }
  auto names = pe::readResourceDirectory(*dir, t->offset, why);
  if (!names) return std::nullopt;
  const ResourceDirectoryEntry* n = findEntry(*names, ResourceKey{false, id, {}});
  if (!n || !n->isDirectory) {
    pe::fail(why, n ? "resource name entry is not a directory" : "no resource with that id");
    return std::nullopt;
  }
  auto languages = pe::readResourceDirectory(*dir, n->offset, why);
  if (!languages) return std::nullopt;
  if (languages->empty() || languages->front().isDirectory) {
    pe::fail(why, languages->empty() ? "resource has no language" : "resource language entry is a directory");
    return std::nullopt;
  }
  auto entry = pe::readResourceDataEntry(*dir, languages->front().offset, why);
  if (!entry) return std::nullopt;
  auto data = pe::mapRva(image, *img, entry->rva, entry->size);
  if (!data) pe::fail(why, "resource data lies outside the file data of every section");
  return data;
}

std::vector<PeResourceInfo> listPeResources(std::span<const std::uint8_t> image, std::string* why) {
  auto img = pe::parseImage(image, why);
  if (!img) return {};
  auto items = pe::readResourceItems(image, *img, why);
  if (!items) return {};
  std::size_t units = 0;
  for (const pe::ResourceItem& item : *items) {
    units += item.type.length() + item.name.length();
    if (units > kMaxListedNameUnits) {
      pe::fail(why, "resource names too long to list");
      return {};
    }
  }
  std::vector<PeResourceInfo> out;
  out.reserve(items->size());
  for (const pe::ResourceItem& item : *items) {
    out.push_back({publicKey(item.type), publicKey(item.name), item.language, item.codePage,
                   static_cast<std::uint32_t>(item.data.size())});
  }
  if (why) why->clear();
  return out;
}

std::optional<std::uint32_t> computePeChecksum(std::span<const std::uint8_t> image) {
  auto img = pe::parseImage(image, nullptr);
  if (!img) return std::nullopt;
  return pe::imageChecksum(image, img->optionalHeaderOffset + pe::kOptChecksumOffset);
}

}  // namespace zorv
