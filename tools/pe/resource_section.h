// Builds the bytes of a resource section from a list of resources.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "tools/pe/resource_tree.h"

namespace zorv::pe {

// Lays out the section as resource compilers do: the root table, the name tables, the
// language tables, the data entries, the name strings (each distinct name once), then every
// resource's bytes aligned to 8. Tables are sorted as the loader expects (see compareKeys).
// Data entries hold RVAs, so the section's RVA must be known. The items' views must stay
// valid during the call. Fails when the section would not fit the 31-bit offsets of the tree
// or would run past the 32-bit address space.
std::expected<std::vector<std::uint8_t>, std::string> buildResourceSection(
    std::vector<ResourceItem> items, std::uint32_t sectionRva);

// A section whose one deferred resource is left out of `bytes`: its data belongs at `holeAt`,
// so the section is bytes[0, holeAt), the resource's data, then bytes[holeAt, end).
struct SplitSection {
  std::vector<std::uint8_t> bytes;
  std::uint64_t holeAt = 0;
  std::uint64_t holeSize = 0;
  std::uint64_t size() const { return bytes.size() + holeSize; }
};

// As buildResourceSection, for items of which at most one is deferred: the layout is the one
// the section would have with that resource's bytes in it.
std::expected<SplitSection, std::string> buildSplitResourceSection(std::vector<ResourceItem> items,
                                                                   std::uint32_t sectionRva);

}  // namespace zorv::pe
