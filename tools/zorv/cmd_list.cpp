// zorv list [--entries] [--json] FILE: what a setup installs (its files with their sizes, links,
// registry values, the program it starts, the uninstaller's clean-up), or with --entries the
// raw directory of its package; as text for the terminal or as JSON. Package texts are shown in
// UTF-8, read in the package's code page or the one --codepage gives.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/codepage.h"
#include "platform/terminal_text.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/json_text.h"
#include "tools/inspect/package_file.h"
#include "tools/inspect/setup_listing.h"
#include "tools/host/text_code_page.h"

namespace zorv {

namespace {

const char* kindOf(const EntryInfo& e) {
  if (e.tag == kTagEmpty) return "empty";
  if (e.isInline()) return "inline";
  return e.packed == e.unpacked ? "stored" : "packed";
}

// Every text of the listing in UTF-8.
void convertTexts(SetupListing& l, int codePage) {
  const auto convert = [codePage](std::string& text) { text = systemUtf8(text, codePage); };
  const auto convertAll = [&](std::vector<std::string>& texts) {
    for (std::string& text : texts) convert(text);
  };
  const auto convertSome = [&](std::optional<std::string>& text) {
    if (text) convert(*text);
  };
  convert(l.appName);
  for (ListedFile& f : l.files) convert(f.name);
  for (ListedLink& k : l.links) {
    convert(k.name);
    convert(k.target);
  }
  convertSome(l.keyRoot);
  convertSome(l.keyPath);
  for (ListedValue& v : l.values) {
    convert(v.name);
    convert(v.type);
    convert(v.data);
  }
  convertSome(l.program);
  convertSome(l.uninstaller);
  convertAll(l.deleteFolders);
  convertAll(l.deleteFiles);
}

void printEntriesJson(const Package& p, int codePage) {
  std::cout << "[";
  for (std::uint32_t i = 0; i < p.entryCount(); ++i) {
    EntryInfo e = p.entry(std::int32_t(i));
    std::cout << (i ? ",\n " : "\n ") << "{\"index\": " << i
              << ", \"tag\": " << jsonString(tagText(e.tag))
              << ", \"name\": " << jsonString(systemUtf8(e.name, codePage))
              << ", \"offset\": " << e.offset << ", \"unpacked\": " << e.unpacked
              << ", \"packed\": " << e.packed << "}";
  }
  std::cout << (p.entryCount() ? "\n]\n" : "]\n");
}

void printEntries(const Package& p, int codePage) {
  const PackageHeader& h = p.header();
  std::printf("package \"%s\": %u entries, data base %u, directory at %u (%u bytes packed)\n",
              terminalText(systemUtf8(h.name, codePage)).c_str(), h.entryCount, h.dataBase,
              h.directoryOffset, h.directoryPacked);
  std::printf("%5s  %-4s  %-16s %10s %10s %10s  %s\n", "index", "tag", "name", "offset", "unpacked",
              "packed", "kind");
  for (std::uint32_t i = 0; i < p.entryCount(); ++i) {
    EntryInfo e = p.entry(std::int32_t(i));
    std::printf("%5u  %-4s  %-16s %10u %10u %10u  %s\n", i, terminalText(tagText(e.tag)).c_str(),
                terminalText(systemUtf8(e.name, codePage)).c_str(), e.offset, e.unpacked, e.packed,
                kindOf(e));
  }
}

bool isStringType(std::string_view type) {
  constexpr std::string_view kString = "REG_SZ";
  if (type.size() != kString.size()) return false;
  for (std::size_t i = 0; i < type.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(type[i])) != kString[i]) return false;
  return true;
}

// A name below the destination, the group or the desktop, with "/" for each "\".
std::string slashed(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

std::string shown(const std::string& name) { return terminalText(slashed(name)); }

void printList(const char* heading, const std::vector<std::string>& names) {
  if (names.empty()) return;
  std::printf("%s", heading);
  for (std::size_t i = 0; i < names.size(); ++i)
    std::printf("%s%s", i ? ", " : " ", shown(names[i]).c_str());
  std::printf("\n");
}

void printListing(const SetupListing& l) {
  std::printf("setup \"%s\" installs below its destination:\n", terminalText(l.appName).c_str());
  std::printf("%12s %12s  %s\n", "size", "packed", "file");
  for (const ListedFile& f : l.files)
    std::printf("%12" PRIu64 " %12" PRIu64 "  %s\n", f.size, f.packed, shown(f.name).c_str());
  std::printf("total: %zu files, %" PRIu64 " bytes, %" PRIu64 " packed\n", l.files.size(), l.bytes,
              l.packed);
  for (const ListedLink& k : l.links)
    std::printf("link %-8s %s -> %s\n", k.desktop ? "desktop" : "group", shown(k.name).c_str(),
                shown(k.target).c_str());
  if (l.keyPath) {
    std::printf("registry key %s %s\n", terminalText(*l.keyRoot).c_str(),
                terminalText(*l.keyPath).c_str());
    for (const ListedValue& v : l.values) {
      // The run writes string values only.
      const std::string note = isStringType(v.type) ? "" : "  (" + v.type + ", not written)";
      std::printf("  %s = %s%s\n", terminalText(v.name).c_str(), terminalText(v.data).c_str(),
                  terminalText(note).c_str());
    }
  }
  if (l.program) std::printf("program started after the install: %s\n", shown(*l.program).c_str());
  if (l.uninstaller) std::printf("uninstaller: %s\n", shown(*l.uninstaller).c_str());
  printList("uninstall deletes the folders:", l.deleteFolders);
  printList("uninstall deletes the files:", l.deleteFiles);
}

std::string jsonList(const std::vector<std::string>& names) {
  std::string out = "[";
  for (std::size_t i = 0; i < names.size(); ++i)
    out += (i ? ", " : "") + jsonString(slashed(names[i]));
  return out + "]";
}

std::string jsonOrNull(const std::optional<std::string>& s, bool slashes) {
  return s ? jsonString(slashes ? slashed(*s) : *s) : "null";
}

void printListingJson(const SetupListing& l) {
  std::cout << "{\"application\": " << jsonString(l.appName) << ",\n \"files\": [";
  for (std::size_t i = 0; i < l.files.size(); ++i)
    std::cout << (i ? ",\n  " : "\n  ") << "{\"path\": " << jsonString(slashed(l.files[i].name))
              << ", \"size\": " << l.files[i].size << ", \"packed\": " << l.files[i].packed << "}";
  std::cout << "],\n \"total\": {\"files\": " << l.files.size() << ", \"bytes\": " << l.bytes
            << ", \"packed\": " << l.packed << "},\n \"links\": [";
  for (std::size_t i = 0; i < l.links.size(); ++i)
    std::cout << (i ? ",\n  " : "\n  ") << "{\"place\": \""
              << (l.links[i].desktop ? "desktop" : "group")
              << "\", \"name\": " << jsonString(slashed(l.links[i].name))
              << ", \"target\": " << jsonString(slashed(l.links[i].target)) << "}";
  std::cout << "],\n \"registry\": ";
  if (l.keyPath) {
    std::cout << "{\"root\": " << jsonString(*l.keyRoot) << ", \"key\": " << jsonString(*l.keyPath)
              << ", \"values\": [";
    for (std::size_t i = 0; i < l.values.size(); ++i)
      std::cout << (i ? ",\n  " : "\n  ") << "{\"name\": " << jsonString(l.values[i].name)
                << ", \"type\": " << jsonString(l.values[i].type)
                << ", \"data\": " << jsonString(l.values[i].data) << "}";
    std::cout << "]}";
  } else {
    std::cout << "null";
  }
  std::cout << ",\n \"program\": " << jsonOrNull(l.program, true)
            << ",\n \"uninstaller\": " << jsonOrNull(l.uninstaller, true)
            << ",\n \"delete\": {\"folders\": " << jsonList(l.deleteFolders)
            << ", \"files\": " << jsonList(l.deleteFiles) << "}}\n";
}

}  // namespace

int cmdList(const ListArgs& args) {
  auto lp = loadPackageFile(args.file);
  if (!lp) return fail(lp.error());
  Package& p = *lp->package;
  const std::expected<int, std::string> codePage = textCodePage(p, args.codePage);
  if (args.entries) {
    // The raw directory is for looking into damaged packages too: a bad "CPag" entry among them.
    const int entriesCodePage = codePage.value_or(kCodePageWestern);
    args.json ? printEntriesJson(p, entriesCodePage) : printEntries(p, entriesCodePage);
    return 0;
  }
  if (!codePage) return fail(args.file + ": " + codePage.error());
  std::expected<SetupListing, std::string> listing = listSetup(p);
  if (!listing) return fail(args.file + ": " + listing.error());
  convertTexts(*listing, *codePage);
  args.json ? printListingJson(*listing) : printListing(*listing);
  return std::fflush(stdout) == 0 && std::cout.flush() ? 0 : fail("cannot write the listing");
}

}  // namespace zorv
