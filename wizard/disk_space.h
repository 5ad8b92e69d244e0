// The free and needed space figures of the page, in kilobytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/folders.h"

namespace zorv {

// The largest free figure: volumes with more room show and compare as this many kilobytes,
// so that a huge disk never looks short of space.
inline constexpr std::uint32_t kMaxKilobytes = 0xFFFFFFFFu;

// "%8ukb": the number right-aligned in eight characters, then "kb".
std::string formatKilobytes(std::uint32_t kilobytes);
std::uint32_t freeKilobytes(std::uint64_t freeBytes);  // saturated at kMaxKilobytes
std::uint32_t neededKilobytes(std::uint32_t requiredBytes);

// Bytes available on the volume of `folder`. A folder that does not exist yet (a proposed
// "DirD") cannot be asked, so its nearest existing parent answers for it, up to the root.
std::optional<std::uint64_t> queryFreeBytes(std::string_view folder, Folders& folders);

struct DiskSpaceView {
  std::string freeText;  // empty when the free space is unknown
  std::string needText;
  bool showNext = true;  // else the warning: free < need
};

// An unknown free figure shows Next, so that a bad path fails visibly when Next creates it.
DiskSpaceView diskSpaceView(std::optional<std::uint64_t> freeBytes, std::uint32_t requiredBytes);

}  // namespace zorv
