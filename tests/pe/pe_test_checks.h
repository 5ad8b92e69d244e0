// Checks shared by the resource tests: the layout rules a rebuilt image must keep, and a
// snapshot of an image's resources with their bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace zorv::pe_test {

// type, name, language, code page, bytes
using ResourceRow =
    std::tuple<std::string, std::string, std::uint16_t, std::uint32_t, std::vector<std::uint8_t>>;

// Every resource in directory order; fails the test when the tree cannot be read.
std::vector<ResourceRow> snapshot(std::span<const std::uint8_t> image);

// Adds a failure for each broken rule: checksum, sizes, alignment, nothing after the last
// section, no certificate or symbol table, resource tables in the loader's search order.
void expectConsistentImage(const std::vector<std::uint8_t>& image);

}  // namespace zorv::pe_test
