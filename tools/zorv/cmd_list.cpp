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
#include "platform/json_writer.h"
#include "platform/terminal_text.h"
#include "tools/zorv/commands.h"
#include "tools/examine/package_file.h"
#include "tools/examine/setup_listing.h"
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

// The listings' JSON: members apart by ", ", and package texts with every byte that is not
// UTF-8 kept as the character of its number.
JsonWriter listingWriter() {
  return JsonWriter(JsonWriter::Layout::Spaced, JsonWriter::BadByte::OwnNumber);
}

// One entry a line: [\n {...},\n {...}\n], or [] when there is none.
void printEntriesJson(const Package& p, int codePage) {
  JsonWriter j = listingWriter();
  j.beginArray();
  for (std::uint32_t i = 0; i < p.entryCount(); ++i) {
    EntryInfo e = p.entry(std::int32_t(i));
    j.lineBreak(1);
    j.beginObject();
    j.key("index");
    j.number(i);
    j.key("tag");
    j.string(tagText(e.tag));
    j.key("name");
    j.string(systemUtf8(e.name, codePage));
    j.key("offset");
    j.number(e.offset);
    j.key("unpacked");
    j.number(e.unpacked);
    j.key("packed");
    j.number(e.packed);
    j.endObject();
  }
  if (p.entryCount()) j.lineBreak(0);
  j.endArray();
  std::cout << j.text() << "\n";
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

void writeNames(JsonWriter& j, const std::vector<std::string>& names) {
  j.beginArray();
  for (const std::string& name : names) j.string(slashed(name));
  j.endArray();
}

void writeOptional(JsonWriter& j, const std::optional<std::string>& s) {
  if (s)
    j.string(slashed(*s));
  else
    j.null();
}

// The members one a line, and the files, links and values one a line below them.
void printListingJson(const SetupListing& l) {
  JsonWriter j = listingWriter();
  j.beginObject();
  j.key("application");
  j.string(l.appName);
  j.lineBreak(1);
  j.key("files");
  j.beginArray();
  for (const ListedFile& f : l.files) {
    j.lineBreak(2);
    j.beginObject();
    j.key("path");
    j.string(slashed(f.name));
    j.key("size");
    j.number(f.size);
    j.key("packed");
    j.number(f.packed);
    j.endObject();
  }
  j.endArray();
  j.lineBreak(1);
  j.key("total");
  j.beginObject();
  j.key("files");
  j.number(l.files.size());
  j.key("bytes");
  j.number(l.bytes);
  j.key("packed");
  j.number(l.packed);
  j.endObject();
  j.lineBreak(1);
  j.key("links");
  j.beginArray();
  for (const ListedLink& k : l.links) {
    j.lineBreak(2);
    j.beginObject();
    j.key("place");
    j.string(k.desktop ? "desktop" : "group");
    j.key("name");
    j.string(slashed(k.name));
    j.key("target");
    j.string(slashed(k.target));
    j.endObject();
  }
  j.endArray();
  j.lineBreak(1);
  j.key("registry");
  if (l.keyPath) {
    j.beginObject();
    j.key("root");
    j.string(*l.keyRoot);
    j.key("key");
    j.string(*l.keyPath);
    j.key("values");
    j.beginArray();
    for (const ListedValue& v : l.values) {
      j.lineBreak(2);
      j.beginObject();
      j.key("name");
      j.string(v.name);
      j.key("type");
      j.string(v.type);
      j.key("data");
      j.string(v.data);
      j.endObject();
    }
    j.endArray();
    j.endObject();
  } else {
    j.null();
  }
  j.lineBreak(1);
  j.key("program");
  writeOptional(j, l.program);
  j.lineBreak(1);
  j.key("uninstaller");
  writeOptional(j, l.uninstaller);
  j.lineBreak(1);
  j.key("delete");
  j.beginObject();
  j.key("folders");
  writeNames(j, l.deleteFolders);
  j.key("files");
  writeNames(j, l.deleteFiles);
  j.endObject();
  j.endObject();
  std::cout << j.text() << "\n";
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
