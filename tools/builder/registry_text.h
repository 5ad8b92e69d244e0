// Rules for the registry texts of a package: the root abbreviations the setup knows and the
// markers it replaces at the start of a value's data.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorv {

// "" when the setup maps the abbreviation to a key (HLM, HCR, HCC, HCU, HU, in any case);
// otherwise why not.
std::string registryRootProblem(std::string_view root);

// "" when a registry key path or value name holds no control character (a byte below 0x20,
// or DEL); otherwise which. The setup's uninstall log and the registry file of `zorv install`
// hold them a line each, where a CR or LF would start a line of the package's choosing.
std::string registryNameProblem(std::string_view name);

// The marker the setup replaces in `data` ("SRCDIR", "DESTDIR" or "DATEINSTALL") and where it
// stands; npos when there is none. The setup looks for SRCDIR first, anywhere in the data,
// then for DESTDIR, then for DATEINSTALL, and replaces the first characters of the data.
struct MarkerHit {
  std::string_view marker;
  std::size_t position = std::string_view::npos;
};
MarkerHit findMarker(std::string_view data);

// "" when the data of a value comes out as written: a marker, if any, at its very start, and
// the text the setup composes within its 260-byte buffer (with `destination` characters for
// DESTDIR and the stand-in length for the setup folder); otherwise why not.
std::string valueDataProblem(std::string_view data, std::size_t destination);

}  // namespace zorv
