// make_cli_packages DIR: writes the packages that the zorv end-to-end test needs and that the
// builder refuses to make, with the package writer:
//   DIR/hostile.pkg  terminal escapes in every package text that zorv prints: the application
//                    name, file, folder, link and value names, and a "RunS" program
//                    DIR/start<ESC>[7m.sh, which the test provides;
//   DIR/links.pkg    "top.txt", "sub\deep\f.txt" and a "CopD" folder "d" holding "d\m.txt",
//                    to be installed over symbolic links planted in the destination;
//   DIR/doubling.pkg a "CopD" folder whose 22 levels each list the level below twice: a few
//                    hundred bytes whose walk would visit 2^22 files, past every walk's budget;
//   DIR/one-tree.pkg 50 "CopD" entries that each name one folder record of 100 files: a tree
//                    the budget allows, reached again by the second entry;
//   DIR/twice.pkg    a "CopD" folder "d" that lists its one file record "d\f.txt" twice;
//   DIR/western.pkg  a package as other tools write it, without a "CPag" entry: "caf\xE9.txt"
//                    and a folder "\xE9t\xE9" holding "\xE9t\xE9\na\xEFve.txt", in code page
//                    1252 bytes.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace {

using zorv::Bytes;

Bytes textBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct File {
  std::string name, data;
};

// The package's "SumC" entry counts the bytes of every file, members included.
std::uint32_t total(const std::vector<File>& files) {
  std::uint32_t sum = 0;
  for (const File& f : files) sum += static_cast<std::uint32_t>(f.data.size());
  return sum;
}

// AppN, SumC, one "Copy" entry per top-level file, one "CopD" entry `folder` of `members`.
zorv::PackageWriter startPackage(const std::string& app, const std::vector<File>& top,
                                 const std::string& folder, const std::vector<File>& members) {
  zorv::PackageWriter w;
  w.addEntry(zorv::kTagAppName, "AppN", zorv::nameRecord(app));
  const std::uint32_t sum = total(top) + total(members);
  w.addInline(zorv::kTagSum, "Copy", sum, sum);
  for (const File& f : top)
    w.addEntry(zorv::kTagCopy, "file", zorv::addFileBlocks(w, f.name, textBytes(f.data)));
  std::vector<zorv::TaggedRange> ranges;
  for (const File& f : members) {
    Bytes record = zorv::addFileBlocks(w, f.name, textBytes(f.data));
    ranges.push_back({zorv::kTagCopy, w.addData(record)});
  }
  w.addEntry(zorv::kTagCopyDir, "dir", zorv::directoryRecord(folder, ranges));
  return w;
}

zorv::PackageWriter doublingPackage() {
  zorv::PackageWriter w = startPackage("Doubling", {}, "d0", {{"f.txt", "f\n"}});
  Bytes file = zorv::addFileBlocks(w, "f.txt", textBytes("f\n"));
  zorv::TaggedRange level{zorv::kTagCopy, w.addData(file)};
  for (int i = 1; i <= 22; ++i) {
    const Bytes record = zorv::directoryRecord("d" + std::to_string(i), std::vector{level, level});
    level = {zorv::kTagCopyDir, w.addData(record)};
  }
  w.addEntry(zorv::kTagCopyDir, "top", zorv::directoryRecord("top", std::vector{level}));
  return w;
}

zorv::PackageWriter oneTreePackage() {
  zorv::PackageWriter w = startPackage("One Tree", {}, "d", {{"d\\f.txt", "f\n"}});
  std::vector<zorv::TaggedRange> files;
  for (int i = 0; i < 100; ++i) {
    const std::string name = "t\\f" + std::to_string(i) + ".txt";
    files.push_back({zorv::kTagCopy, w.addData(zorv::addFileBlocks(w, name, textBytes("f\n")))});
  }
  const zorv::TaggedRange tree{zorv::kTagCopyDir, w.addData(zorv::directoryRecord("t", files))};
  for (int i = 0; i < 50; ++i)
    w.addEntry(zorv::kTagCopyDir, "top", zorv::directoryRecord("t", std::vector{tree}));
  return w;
}

zorv::PackageWriter twicePackage() {
  zorv::PackageWriter w;
  w.addEntry(zorv::kTagAppName, "AppN", zorv::nameRecord("Twice"));
  w.addInline(zorv::kTagSum, "Copy", 4, 4);
  const Bytes file = zorv::addFileBlocks(w, "d\\f.txt", textBytes("f\n"));
  const zorv::TaggedRange once{zorv::kTagCopy, w.addData(file)};
  w.addEntry(zorv::kTagCopyDir, "dir", zorv::directoryRecord("d", std::vector{once, once}));
  return w;
}

bool save(const std::string& path, const std::expected<Bytes, std::string>& bytes) {
  if (!bytes) {
    std::fprintf(stderr, "make_cli_packages: %s: %s\n", path.c_str(), bytes.error().c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_cli_packages DIR\n");
    return 1;
  }
  const std::string dir = argv[1];

  zorv::PackageWriter hostile = startPackage(
      "Evil\x1b]0;pwned\x07"
      "App",
      {{"\x1b[31mred.txt", "red\n"}, {"plain.txt", "plain\n"}}, "\x1b[1mdir",
      {{"\x1b[1mdir\\in\x1b[0m.txt", "in\n"}});
  hostile.addEntry(zorv::kTagGroupLink, "link", zorv::linkRecord("\x1b[2Jlink", "plain.txt"));
  hostile.addEntry(zorv::kTagDesktopLink, "link", zorv::linkRecord("\x1b[2Jlink", "plain.txt"));
  hostile.addEntry(zorv::kTagRoot, "root", zorv::rootRecord("HCU", "Software\\Zorv Test"));
  hostile.addEntry(zorv::kTagValue, "value", zorv::valueRecord("\x1b[4mName", "REG_SZ", "DESTDIR"));
  hostile.addEntry(zorv::kTagRunProgram, "run", zorv::nameRecord(dir + "/start\x1b[7m.sh"));

  zorv::PackageWriter links = startPackage(
      "Links", {{"top.txt", "top\n"}, {"sub\\deep\\f.txt", "deep\n"}}, "d", {{"d\\m.txt", "m\n"}});

  zorv::PackageWriter western = startPackage("Caf\xE9", {{"caf\xE9.txt", "1\n"}}, "\xE9t\xE9",
                                             {{"\xE9t\xE9\\na\xEFve.txt", "2\n"}});

  return save(dir + "/hostile.pkg", hostile.finish()) &&
                 save(dir + "/western.pkg", western.finish()) &&
                 save(dir + "/links.pkg", links.finish()) &&
                 save(dir + "/doubling.pkg", doublingPackage().finish()) &&
                 save(dir + "/one-tree.pkg", oneTreePackage().finish()) &&
                 save(dir + "/twice.pkg", twicePackage().finish())
             ? 0
             : 1;
}
