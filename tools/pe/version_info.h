// The version resource (RT_VERSION 1) that Windows shows as a file's details: a VS_VERSIONINFO
// tree of nodes, each a length, a value length, a type and a UTF-16 key, then its value and
// its children, every part aligned to 4 bytes from the start of the resource.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorv {

inline constexpr std::uint16_t kResourceTypeVersion = 16;  // RT_VERSION
inline constexpr std::uint16_t kVersionResourceId = 1;

using VersionNumbers = std::array<std::uint16_t, 4>;

struct VersionInfo {
  VersionNumbers fileVersion{};  // FILEVERSION a, b, c, d
  VersionNumbers productVersion{};
  std::uint16_t language = 0x0409;  // of the string table and the translation
  std::uint16_t codePage = 1252;
  std::vector<std::pair<std::string, std::string>> strings;  // name and text, UTF-8, in order
};

// The resource's bytes: VS_VERSION_INFO with its VS_FIXEDFILEINFO (an application for 32-bit
// Windows), one StringFileInfo table in `language` and `codePage`, and a VarFileInfo
// translation naming the same. The texts must be short enough for 16-bit lengths (the
// builder's are at most 254 bytes each).
std::vector<std::uint8_t> versionResourceBytes(const VersionInfo& info);

// Reads a version resource: every node's length inside its parent, keys ending inside their
// node, values inside their node, the root's VS_FIXEDFILEINFO signature, and the strings of
// the first string table. Untrusted bytes; the reason when anything is out of place.
std::expected<VersionInfo, std::string> parseVersionResource(std::span<const std::uint8_t> bytes);

// A product's version text: one to four decimal numbers of at most 65535 separated by dots
// ("1.2.3" gives 1, 2, 3, 0), then optionally a suffix that is not a dot and a digit
// ("2.0-beta": 2, 0, 0, 0 and "-beta"). `problem` says why a text is none: it does not start
// with a number, a number is over 65535, or a fifth number follows.
struct ParsedVersion {
  VersionNumbers numbers{};
  std::string_view suffix;
  std::string problem;  // empty when the text is a version
};
ParsedVersion parseVersionText(std::string_view text);

}  // namespace zorv
