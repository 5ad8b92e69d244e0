#include <string>

#include "install/install.h"
#include "texts/texts.h"

namespace zorv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks from a path component, so "..." and ".. " climb as
// ".." does.
bool climbs(std::string_view component) {
  int dots = 0;
  for (char c : component) {
    if (c == '.')
      ++dots;
    else if (c != ' ')
      return false;
  }
  return dots >= 2;
}

}  // namespace

bool escapesDirectory(std::string_view name) {
  if (name.find(':') != std::string_view::npos) return true;
  if (name.size() >= 2 && isSeparator(name[0]) && isSeparator(name[1])) return true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !isSeparator(name[i])) continue;
    if (climbs(name.substr(start, i - start))) return true;
    start = i + 1;
  }
  return false;
}

bool refusedFileName(std::string_view name) {
  return escapesDirectory(name) || namesUninstallLog(name);
}

bool namesSubfolder(std::string_view name) {
  if (escapesDirectory(name)) return false;
  // Its "DelD" line would show CR and LF as blanks, and so name another folder.
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !isSeparator(name[i])) continue;
    for (char c : name.substr(start, i - start))
      if (c != '.' && c != ' ') return true;
    start = i + 1;
  }
  return false;
}

bool createDirectoryPath(std::string& path, int language, const Platform& platform) {
  // The caller's text ends at its first NUL, as a C buffer would.
  const std::string_view in = std::string_view(path).substr(0, path.find('\0'));
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i <= in.size(); ++i) {
    const char c = i < in.size() ? in[i] : '\0';
    if (isSeparator(c) || c == '\0') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      // Indexes 0 to 2 hold at most a drive and its backslash, which always exist.
      if (i >= 3) {
        const bool made = out.size() <= kMaxPathChars && (platform.folders.pathExists(out) ||
                                                          platform.folders.createDirectory(out));
        if (!made) {
          platform.dialogs.messageBox(out + std::string(text(Text::DirectoryError, language)),
                                      text(Text::DirectoryCaption, language));
          return false;
        }
      }
      if (c == '\0') break;
    }
    out.push_back(c);
  }
  path = std::move(out);
  return true;
}

}  // namespace zorv
