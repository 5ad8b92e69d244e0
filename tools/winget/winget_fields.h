// The fields of a winget manifest that zorv fills in, judged as winget's schema 1.10.0 judges
// them: its patterns, written out as code, and its lengths. Each check takes UTF-8 text and
// returns what is wrong with it in a few words ("has one part; ..."), for a message that names
// the value and where it came from; empty when the schema takes it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorv {

inline constexpr std::string_view kWingetManifestVersion = "1.10.0";

// PackageIdentifier: 2 to 8 parts joined by dots, each of 1 to 32 characters none of which is
// a dot, a white-space character, one of \/:*?"<>| or a control character; at most 128 in all.
std::string packageIdentifierProblem(std::string_view id);
// PackageVersion: 1 to 128 characters, none of \/:*?"<>| or a control character.
std::string packageVersionProblem(std::string_view version);
// PackageLocale and DefaultLocale: a BCP 47 tag as the schema's pattern reads one: a language
// of 2 or 3 letters, "i-" and letters, or "x-" and 1 to 8 letters, then any number of "-" and 1
// to 8 letters; at most 20 characters.
std::string localeProblem(std::string_view locale);
// InstallerUrl: http:// or https:// (any case), then at least one character, none of them a
// line break; at most 2048 characters.
std::string installerUrlProblem(std::string_view url);

// The fields the schema bounds by length alone, in characters.
struct TextLimits {
  std::size_t min, max;
};
inline constexpr TextLimits kPublisherLimits{2, 256};         // Publisher (default locale)
inline constexpr TextLimits kPackageNameLimits{2, 256};       // PackageName
inline constexpr TextLimits kLicenseLimits{3, 512};           // License
inline constexpr TextLimits kShortDescriptionLimits{3, 256};  // ShortDescription
inline constexpr TextLimits kProductCodeLimits{1, 255};       // ProductCode
std::string lengthProblem(std::string_view text, TextLimits limits);

}  // namespace zorv
