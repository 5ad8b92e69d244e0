#include "tools/builder/limits.h"

#include <array>

#include "platform/codepage.h"

namespace zorv {

std::size_t destinationLength(std::string_view defaultParent, bool hasDefaultParent,
                              std::string_view appName) {
  if (!hasDefaultParent) return kAssumedShellFolder + 1 + appName.size();
  const bool endsInSeparator = !defaultParent.empty() && defaultParent.back() == '\\';
  return defaultParent.size() + (endsInSeparator ? 0 : 1) + appName.size();
}

namespace {

bool isDeviceName(std::string_view component) {
  // The device names count with any extension: "con.txt" opens the console too.
  std::string base = foldAscii(component.substr(0, component.find('.')));
  static constexpr std::array<std::string_view, 4> kPlain = {"con", "prn", "aux", "nul"};
  for (std::string_view d : kPlain)
    if (base == d) return true;
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string componentProblem(std::string_view c, bool wildcards) {
  if (c.empty()) return "an empty name";
  if (c == "." || c == "..") return "\"" + std::string(c) + "\", which leaves the folder";
  for (char ch : c) {
    const auto u = static_cast<unsigned char>(ch);
    if (u < 0x20) return "a control character";
    if (std::string_view("<>:\"|/\\").find(ch) != std::string_view::npos)
      return ch == ':' ? "a colon (a drive or a stream name)"
                       : std::string("the character ") + ch + ", which Windows names cannot hold";
    if (!wildcards && (ch == '*' || ch == '?'))
      return std::string("the wildcard ") + ch + ", which file names cannot hold";
  }
  if (c.back() == ' ' || c.back() == '.')
    return "\"" + std::string(c) + "\", ending in a blank or a dot, which Windows drops";
  if (isDeviceName(c)) return "\"" + std::string(c) + "\", a device name";
  return "";
}

std::string relativeNameProblem(std::string_view name, bool wildcards) {
  if (name.empty()) return "an empty name";
  if (name.front() == '\\') return "an absolute name (it starts with a backslash)";
  if (name.size() >= 2 && name[1] == ':') return "a drive letter";
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find('\\', start);
    std::string_view part = name.substr(start, end == name.npos ? name.npos : end - start);
    std::string why = componentProblem(part, wildcards);
    if (!why.empty()) return why;
    if (end == name.npos) return "";
    start = end + 1;
  }
}

std::string defaultParentProblem(std::string_view d) {
  if (d.find('%') != d.npos)
    return "holds \"%\", but the setup expands no environment variables; leave the key out "
           "and it proposes the user's application-data folder";
  const char first = d.empty() ? '\0' : static_cast<char>(d[0] | 0x20);  // a letter in lower case
  const bool drive = first >= 'a' && first <= 'z' && d.size() >= 3 && d[1] == ':' && d[2] == '\\';
  // "\\server\share": a server name, a backslash, and a share name.
  bool share = false;
  if (d.starts_with("\\\\")) {
    const std::size_t cut = d.find('\\', 2);
    share = cut != d.npos && cut > 2 && cut + 1 < d.size() && d[cut + 1] != '\\';
  }
  if (drive || share) return "";
  return "is not an absolute Windows path (X:\\... or \\\\server\\share...); the setup would "
         "take it relative to the folder it was started in";
}

std::string withBackslashes(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string foldCase(std::string_view name, int codePage) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(upperAnsi(static_cast<std::uint8_t>(c), codePage));
  return out;
}

std::string foldAscii(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace zorv
