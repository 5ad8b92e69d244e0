// Writes the seed corpus for the package fuzzer: small packages made by the writer, with every
// kind of entry, a data base, damaged streams and the record layouts the setup reads.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

using namespace zorv;

static void save(const std::string& dir, const char* name,
                 const std::expected<std::vector<std::uint8_t>, std::string>& b) {
  if (!b) {
    std::fprintf(stderr, "make_seeds: %s: %s\n", name, b.error().c_str());
    std::exit(1);
  }
  std::string path = dir + "/" + name;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(b->data(), 1, b->size(), f);
    std::fclose(f);
  }
}

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const std::string dir = argv[1];
  std::vector<std::uint8_t> data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i % 251 ^ i / 7);

  for (std::uint32_t base : {0u, 20u}) {
    PackageWriter w("setup.exe", base);
    w.addEmptySlot();
    w.addEntry(kTagAppName, "Application", nameRecord("Demo"));
    w.addInline(kTagSum, "Copy", 3000, 3000);
    w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "a\\b.txt", data, 1024));
    TaggedRange member{kTagCopy, w.addData(addFileBlocks(w, "d\\c.txt", data, 2000))};
    w.addEntry(kTagCopyDir, "Copy", directoryRecord("d", {&member, 1}));
    w.addEntry(kTagGroupLink, "ShortCut", linkRecord("Tools\\Demo", "a\\b.txt"));
    w.addEntry(kTagRoot, "root", rootRecord("HLM", "Software\\Demo"));
    w.addEntry(kTagValue, "valr", valueRecord("Path", "REG_SZ", "DESTDIR\\a"));
    w.addEntry(kTagRunProgram, "Application", nameRecord("a\\b.txt"));
    save(dir, base ? "full-base20.pkg" : "full.pkg", w.finish());
  }
  PackageWriter bad;
  std::vector<std::uint8_t> junk(40, 0x78);
  bad.addEntryAt(kTagCopy, "x", bad.addRaw(junk, 400));
  bad.addEntryAt(kTagCopy, "y", PackedRange{0xFFFFFF00u, 8, 8});
  save(dir, "damaged.pkg", bad.finish());
  save(dir, "empty.pkg", PackageWriter().finish());

  // What an attacker would start from: shared records that double at each level, a file named
  // like the uninstall log, an application name that climbs out of Programs, a key name with
  // line breaks.
  PackageWriter h;
  h.addEntry(kTagAppName, "Application", nameRecord("..\\outside\\grp"));
  h.addInline(kTagSum, "Copy", 8, 8);
  TaggedRange item{kTagCopy, h.addData(addFileBlocks(h, "same.txt", {data.data(), 4}, 4))};
  for (int level = 0; level < 24; ++level) {
    const TaggedRange twice[] = {item, item};
    item = {kTagCopyDir, h.addData(directoryRecord("d", twice))};
  }
  h.addEntry(kTagCopyDir, "Copy", directoryRecord("top", {&item, 1}));
  h.addEntry(kTagGroupLink, "ShortCut", linkRecord("Demo", "same.txt"));
  h.addEntry(kTagDesktopLink, "ShortCut", linkRecord("..\\Demo", "same.txt"));
  h.addEntry(kTagRoot, "root", rootRecord("HLM", "Software\\D]\r\n[HKEY_LOCAL_MACHINE\\Run"));
  h.addEntry(kTagValue, "valr", valueRecord("x\x1b[2J", "REG_SZ", "DESTDIR"));
  h.addEntry(kTagDeleteDir, "x", nameRecord("..\\..\\Windows"));
  save(dir, "hostile.pkg", h.finish());
  PackageWriter log;
  log.addEntry(kTagAppName, "Application", nameRecord("Demo"));
  log.addInline(kTagSum, "Copy", 8, 8);
  log.addEntry(kTagCopy, "Copy", addFileBlocks(log, "UnInstall.log", {data.data(), 8}, 8));
  save(dir, "log-name.pkg", log.finish());
  return 0;
}
