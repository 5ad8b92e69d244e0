// zorv list [--json] FILE: the directory of a package, as a table or as JSON.
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/posix_platform.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

namespace {

const char* kindOf(const EntryInfo& e) {
  if (e.tag == kTagEmpty) return "empty";
  if (e.isInline()) return "inline";
  return e.packed == e.unpacked ? "stored" : "packed";
}

// Entry names are ANSI text (code page 1251 in Russian packages); JSON wants UTF-8. Cyrillic
// letters map to their Unicode letters, other high bytes to U+00XX.
std::string jsonString(std::string_view s) {
  std::string out = "\"";
  char buf[8];
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x80) {
      unsigned u = c;
      if (c >= 0xC0) u = 0x410 + (c - 0xC0);
      else if (c == 0xA8) u = 0x401;
      else if (c == 0xB8) u = 0x451;
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

int cmdList(Args args) {
  bool json = false;
  std::string path;
  for (std::string_view a : args) {
    if (a == "--json") json = true;
    else if (path.empty() && !a.starts_with("-")) path = a;
    else return fail("usage: zorv list [--json] FILE");
  }
  if (path.empty()) return fail("usage: zorv list [--json] FILE");
  std::string why;
  auto lp = loadPackageFile(path, &why);
  if (!lp) return fail(why);
  const Package& p = *lp->package;

  if (json) {
    std::cout << "[";
    for (std::uint32_t i = 0; i < p.entryCount(); ++i) {
      EntryInfo e = p.entry(std::int32_t(i));
      std::cout << (i ? ",\n " : "\n ") << "{\"index\": " << i
                << ", \"tag\": " << jsonString(tagText(e.tag))
                << ", \"name\": " << jsonString(e.name) << ", \"offset\": " << e.offset
                << ", \"unpacked\": " << e.unpacked << ", \"packed\": " << e.packed << "}";
    }
    std::cout << (p.entryCount() ? "\n]\n" : "]\n");
    return 0;
  }
  const PackageHeader& h = p.header();
  std::printf("package \"%s\": %u entries, data base %u, directory at %u (%u bytes packed)\n",
              terminalText(h.name).c_str(), h.entryCount, h.dataBase, h.directoryOffset,
              h.directoryPacked);
  std::printf("%5s  %-4s  %-16s %10s %10s %10s  %s\n", "index", "tag", "name", "offset",
              "unpacked", "packed", "kind");
  for (std::uint32_t i = 0; i < p.entryCount(); ++i) {
    EntryInfo e = p.entry(std::int32_t(i));
    std::printf("%5u  %-4s  %-16s %10u %10u %10u  %s\n", i, terminalText(tagText(e.tag)).c_str(),
                terminalText(e.name).c_str(), e.offset, e.unpacked, e.packed, kindOf(e));
  }
  return 0;
}

}  // namespace zorv
