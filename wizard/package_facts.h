// What the wizard takes from the package besides its bitmaps: the application's name, the
// total size of its files and the proposed parent folder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "package/package.h"

namespace zorv {

// appName holds at most this many characters; longer names are cut.
inline constexpr std::size_t kMaxAppNameChars = 79;

// The text of an "AppN" or "DirD" body: from byte 1 up to its NUL, or to the end of the body
// when there is none. The count byte is not consulted. Empty for an empty body.
std::string recordText(std::span<const std::uint8_t> body);

struct PackageFacts {
  std::string appName;          // at most kMaxAppNameChars
  std::uint32_t requiredBytes;  // the "SumC" entry's unpacked-size field
  bool release = false;         // the package carries the release entry (kTagRelease)
  bool userScope = false;       // a release installed for the user alone (kReleaseUserScope)
};

// Both required entries, or none when either is missing (or the name cannot be unpacked):
// the setup is then corrupted.
std::optional<PackageFacts> readPackageFacts(Package& package);

// The "DirD" text, when the package has that entry and its body can be read.
std::optional<std::string> readDefaultFolder(Package& package);

}  // namespace zorv
