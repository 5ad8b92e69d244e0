// What a winget manifest takes from a setup.exe that `zorv build` made: the application's name,
// the version and publisher that Add/Remove Programs shows, whether it is installed for the
// user alone, and the description in the setup's own version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "package/package.h"

namespace zorv {

// Texts in UTF-8, read in the package's code page as the system would widen them.
struct SetupFacts {
  std::string appName;     // "AppN": the key of the setup's Add/Remove Programs entry
  std::string version;     // "UnIn": DisplayVersion; never empty
  std::string publisher;   // "UnIn": Publisher; never empty
  bool userScope = false;  // the "Rels" entry asks for kReleaseUserScope
  // The setup's FileDescription, when its version resource is the product's own (its
  // ProductName is the application's name) and not one the stub brought along.
  std::optional<std::string> fileDescription;
};

// None, with one line that says what is wrong and what to do, when the setup cannot be
// installed by winget: it is a bare package, its package lacks the release entry (no /S, no
// exit codes) or the "UnIn" entry (no Add/Remove Programs entry to find it by), or Add/Remove
// Programs would show no version or no publisher.
struct SetupFactsResult {
  std::optional<SetupFacts> facts;
  std::string why;
};
SetupFactsResult readSetupFacts(std::span<const std::uint8_t> exe, Package& package);

}  // namespace zorv
