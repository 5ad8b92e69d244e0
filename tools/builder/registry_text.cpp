#include "tools/builder/registry_text.h"

#include <array>

#include "tools/builder/limits.h"

namespace zorv {

namespace {

// The time stamp the setup writes for DATEINSTALL: "dd.mm.yyyy hh:mm:ss", blank-padded.
constexpr std::size_t kTimestampLength = 19;

}  // namespace

std::string registryRootProblem(std::string_view root) {
  static constexpr std::array<std::string_view, 5> kRoots = {"hlm", "hcr", "hcc", "hcu", "hu"};
  const std::string folded = foldAscii(root);
  for (std::string_view r : kRoots)
    if (folded == r) return "";
  std::string why = "the registry root \"" + std::string(root) +
                    "\" is not one the setup knows; use HLM, HCU, HCR, HCC or HU";
  if (folded.starts_with("hkey_") || folded.starts_with("hk"))
    why += " (HKLM is written HLM, HKCU is HCU)";
  return why;
}

std::string registryNameProblem(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F)
      return std::string("a control character (byte 0x") + kHex[c >> 4] + kHex[c & 0xF] + ")";
  return "";
}

MarkerHit findMarker(std::string_view data) {
  for (std::string_view m :
       {std::string_view("SRCDIR"), std::string_view("DESTDIR"), std::string_view("DATEINSTALL")}) {
    const std::size_t at = data.find(m);
    if (at != data.npos) return {m, at};
  }
  return {};
}

std::string valueDataProblem(std::string_view data, std::size_t destination) {
  const MarkerHit hit = findMarker(data);
  if (hit.position == std::string_view::npos) return "";
  if (hit.position != 0)
    return "the marker " + std::string(hit.marker) +
           " must start the data: the setup puts its text in place of the first " +
           std::to_string(hit.marker.size()) + " characters, whatever they are";
  std::size_t replaced = hit.marker == "DESTDIR"  ? destination
                         : hit.marker == "SRCDIR" ? kAssumedShellFolder
                                                  : kTimestampLength;
  const std::size_t total = replaced + data.size() - hit.marker.size();
  if (total > kMaxPath)
    return "the value the setup composes would be " + std::to_string(total) +
           " characters long; at most " + std::to_string(kMaxPath) + " fit";
  return "";
}

}  // namespace zorv
