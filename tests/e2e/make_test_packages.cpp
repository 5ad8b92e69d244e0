// make_test_packages --out DIR [--stub SETUP_EXE] [--marker MARKER_EXE]
//
// Writes the packages of the end-to-end scenarios with the package writer. For each package
// NAME it writes DIR/NAME/package.bin, DIR/NAME/package.json (everything the harness needs to
// predict the install: names as hex bytes, file sizes and CRC-32s, links, registry values,
// clean-up entries) and, given the stub, DIR/NAME/setup.exe carrying the package as resource
// "SETUP" 101. The "run" package installs the marker program, so it needs --marker.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/json_writer.h"
#include "tools/pe/pe_resources.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace {

using zorv::Bytes;
namespace fs = std::filesystem;

struct FileSpec {
  std::string name;  // relative to the destination, ANSI bytes
  Bytes data;
};

struct DirSpec {
  std::string name;
  std::vector<FileSpec> files;  // members in this order, then the sub-directories
  std::vector<DirSpec> dirs;
};

struct LinkSpec {
  std::string link, target;
};

struct ValueSpec {
  std::string name, type, data;
};

struct BitmapSpec {
  std::string name;  // "title", "pic", "zorv", "pic1" or "pic2"
  int width = 0, height = 0;
};

struct PackageSpec {
  std::optional<std::string> appName;
  std::optional<std::string> defaultDir;
  std::vector<FileSpec> files;
  std::vector<DirSpec> dirs;
  std::vector<LinkSpec> groupLinks, desktopLinks;
  std::optional<std::pair<std::string, std::string>> root;  // abbreviation, key path
  std::vector<ValueSpec> values;
  std::vector<std::string> deleteDirs, deleteFiles;
  std::optional<std::string> run;
  std::vector<BitmapSpec> bitmaps;
};

// Code page 1251 bytes of a UTF-8 text made of ASCII and the Russian alphabet.
std::string cp1251(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    unsigned code = (c & 0x1F) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    if (code == 0x401)
      out += '\xA8';
    else if (code == 0x451)
      out += '\xB8';
    else
      out += static_cast<char>(0xC0 + (code - 0x410));
  }
  return out;
}

Bytes textBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Deterministic bytes that compress to about half, so blocks are stored packed.
Bytes patternBytes(std::size_t size, std::uint32_t seed) {
  Bytes out(size);
  std::uint32_t x = seed;
  for (auto& b : out) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>((x >> 24) & 0x0F);
  }
  return out;
}

void putLE(Bytes& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A "BmpT" body: a 40-byte header, 256 colours (a blue ramp) and top-down 8-bit rows, each
// padded to four bytes: a diagonal ramp, so that a screenshot shows where each one is.
Bytes bitmapBody(const BitmapSpec& b) {
  Bytes out;
  std::uint32_t stride = (static_cast<std::uint32_t>(b.width) + 3) & ~3u;
  putLE(out, 40, 4);
  putLE(out, static_cast<std::uint32_t>(b.width), 4);
  putLE(out, static_cast<std::uint32_t>(-b.height), 4);
  putLE(out, 1, 2);
  putLE(out, 8, 2);
  putLE(out, 0, 4);  // uncompressed
  putLE(out, stride * static_cast<std::uint32_t>(b.height), 4);
  putLE(out, 0, 4);
  putLE(out, 0, 4);
  putLE(out, 0, 4);  // 0 colours used: the full table of 256
  putLE(out, 0, 4);
  for (int i = 0; i < 256; ++i) {
    out.push_back(static_cast<std::uint8_t>(128 + i / 2));  // blue
    out.push_back(static_cast<std::uint8_t>(i * 3 / 4));    // green
    out.push_back(static_cast<std::uint8_t>(i / 2));        // red
    out.push_back(0);
  }
  for (int y = 0; y < b.height; ++y)
    for (std::uint32_t x = 0; x < stride; ++x)
      out.push_back(static_cast<std::uint8_t>(x * 200 / stride + y * 55 / b.height));
  return out;
}

// The five images, each of its own size, so that the size of picture 1008 tells which one it
// shows.
std::vector<BitmapSpec> pageBitmaps() {
  return {{"title", 240, 40},
          {"pic", 220, 80},
          {"zorv", 200, 40},
          {"pic1", 445, 130},
          {"pic2", 440, 120}};
}

// The package that most scenarios install: files in sub-directories, a two-block file, an
// empty file, nested directory records, group and desktop links, registry values with every
// marker, clean-up entries.
PackageSpec standardPackage() {
  PackageSpec p;
  p.appName = "Zorv Test App";
  p.files = {
      {"readme.txt", textBytes("Zorv Setup end-to-end test.\r\nThis file is installed as is.\r\n")},
      {"bin\\tool.dat", patternBytes(600000, 7)},
      {"empty.txt", {}},
  };
  p.dirs = {
      {"docs",
       {{"docs\\guide.txt", textBytes("Guide.\r\n")}},
       {{"docs\\img", {{"docs\\img\\logo.bin", patternBytes(1000, 3)}}, {}}}},
      {"extra", {}, {}},
  };
  p.groupLinks = {{"Zorv Tool", "readme.txt"}, {"Extras\\Data", "bin\\tool.dat"}};
  p.desktopLinks = {{"Zorv Tool", "readme.txt"}};
  p.root = {{"HLM", "Software\\ZorvE2E\\TestApp"}};
  p.values = {
      {"Path", "REG_SZ", "DESTDIR\\bin\\tool.dat"},
      {"Source", "REG_SZ", "SRCDIR"},
      {"Installed", "REG_SZ", "DATEINSTALL"},
      {"Plain", "reg_sz", "plain text"},
  };
  p.deleteDirs = {"cache"};
  p.deleteFiles = {"*.tmp"};
  p.bitmaps = pageBitmaps();
  return p;
}

// Russian names everywhere a package can carry them, and a default folder.
PackageSpec russianPackage() {
  PackageSpec p;
  p.appName = cp1251("Zorv Тест");
  p.defaultDir = "C:\\Apps";
  p.files = {
      {cp1251("Справка.txt"), textBytes(cp1251("Справка по программе.\r\n"))},
      {"readme.txt", textBytes("readme\r\n")},
  };
  p.groupLinks = {{cp1251("Справка"), cp1251("Справка.txt")}};
  p.desktopLinks = {{cp1251("Справка"), cp1251("Справка.txt")}};
  p.root = {{"hlm", "Software\\ZorvE2E\\RussianApp"}};
  p.values = {{cp1251("Путь"), "REG_SZ", "DESTDIR"}};
  p.bitmaps = pageBitmaps();
  return p;
}

void addDirectoryMembers(zorv::PackageWriter& w, const DirSpec& d,
                         std::vector<zorv::TaggedRange>& members) {
  for (const FileSpec& f : d.files) {
    Bytes record = zorv::addFileBlocks(w, f.name, f.data);
    members.push_back({zorv::kTagCopy, w.addData(record)});
  }
  for (const DirSpec& sub : d.dirs) {
    std::vector<zorv::TaggedRange> inner;
    addDirectoryMembers(w, sub, inner);
    members.push_back({zorv::kTagCopyDir, w.addData(zorv::directoryRecord(sub.name, inner))});
  }
}

std::uint32_t totalSize(const PackageSpec& p) {
  std::uint32_t total = 0;
  for (const FileSpec& f : p.files) total += static_cast<std::uint32_t>(f.data.size());
  std::vector<const DirSpec*> pending;
  for (const DirSpec& d : p.dirs) pending.push_back(&d);
  while (!pending.empty()) {
    const DirSpec* d = pending.back();
    pending.pop_back();
    for (const FileSpec& f : d->files) total += static_cast<std::uint32_t>(f.data.size());
    for (const DirSpec& sub : d->dirs) pending.push_back(&sub);
  }
  return total;
}

std::expected<Bytes, std::string> buildPackage(const PackageSpec& p) {
  zorv::PackageWriter w;
  if (p.appName) w.addEntry(zorv::kTagAppName, "AppN", zorv::nameRecord(*p.appName));
  std::uint32_t total = totalSize(p);
  w.addInline(zorv::kTagSum, "Copy", total, total);
  if (p.defaultDir) w.addEntry(zorv::kTagDefaultDir, "DirD", zorv::nameRecord(*p.defaultDir));
  for (const FileSpec& f : p.files)
    w.addEntry(zorv::kTagCopy, "file", zorv::addFileBlocks(w, f.name, f.data));
  for (const DirSpec& d : p.dirs) {
    std::vector<zorv::TaggedRange> members;
    addDirectoryMembers(w, d, members);
    w.addEntry(zorv::kTagCopyDir, "dir", zorv::directoryRecord(d.name, members));
  }
  for (const LinkSpec& l : p.groupLinks)
    w.addEntry(zorv::kTagGroupLink, "link", zorv::linkRecord(l.link, l.target));
  for (const LinkSpec& l : p.desktopLinks)
    w.addEntry(zorv::kTagDesktopLink, "link", zorv::linkRecord(l.link, l.target));
  if (p.root) w.addEntry(zorv::kTagRoot, "root", zorv::rootRecord(p.root->first, p.root->second));
  for (const ValueSpec& v : p.values)
    w.addEntry(zorv::kTagValue, "value", zorv::valueRecord(v.name, v.type, v.data));
  // The clean-up entries stand in reverse kind order on purpose: the log puts "DelD" first.
  for (const std::string& f : p.deleteFiles)
    w.addEntry(zorv::kTagDeleteFile, "del", zorv::nameRecord(f));
  for (const std::string& d : p.deleteDirs)
    w.addEntry(zorv::kTagDeleteDir, "del", zorv::nameRecord(d));
  if (p.run) w.addEntry(zorv::kTagRunProgram, "run", zorv::nameRecord(*p.run));
  for (const BitmapSpec& b : p.bitmaps) w.addEntry(zorv::kTagBitmap, b.name, bitmapBody(b));
  return w.finish();
}

void writeFiles(zorv::JsonWriter& j, const std::vector<FileSpec>& files) {
  for (const FileSpec& f : files) {
    j.beginObject();
    j.key("name_hex");
    j.string(zorv::toHex(f.name));
    j.key("size");
    j.number(static_cast<std::int64_t>(f.data.size()));
    j.key("crc32");
    j.number(crc32(0, f.data.data(), static_cast<uInt>(f.data.size())));
    j.endObject();
  }
}

void writeAllFiles(zorv::JsonWriter& j, const std::vector<DirSpec>& dirs) {
  for (const DirSpec& d : dirs) {
    writeFiles(j, d.files);
    writeAllFiles(j, d.dirs);
  }
}

void writeHexList(zorv::JsonWriter& j, const char* key, const std::vector<std::string>& items) {
  j.key(key);
  j.beginArray();
  for (const std::string& s : items) j.string(zorv::toHex(s));
  j.endArray();
}

void writeOptionalHex(zorv::JsonWriter& j, const char* key, const std::optional<std::string>& s) {
  j.key(key);
  if (s)
    j.string(zorv::toHex(*s));
  else
    j.null();
}

void writeLinks(zorv::JsonWriter& j, const char* key, const std::vector<LinkSpec>& links) {
  j.key(key);
  j.beginArray();
  for (const LinkSpec& l : links) {
    j.beginObject();
    j.key("link_hex");
    j.string(zorv::toHex(l.link));
    j.key("target_hex");
    j.string(zorv::toHex(l.target));
    j.endObject();
  }
  j.endArray();
}

std::string describe(const PackageSpec& p) {
  zorv::JsonWriter j;
  j.beginObject();
  writeOptionalHex(j, "app_name_hex", p.appName);
  writeOptionalHex(j, "default_dir_hex", p.defaultDir);
  j.key("required_bytes");
  j.number(totalSize(p));
  j.key("files");  // every file the install writes, nested ones included
  j.beginArray();
  writeFiles(j, p.files);
  writeAllFiles(j, p.dirs);
  j.endArray();
  std::vector<std::string> topFiles, topDirs;
  for (const FileSpec& f : p.files) topFiles.push_back(f.name);
  for (const DirSpec& d : p.dirs) topDirs.push_back(d.name);
  writeHexList(j, "top_files_hex", topFiles);
  writeHexList(j, "top_dirs_hex", topDirs);
  writeLinks(j, "group_links", p.groupLinks);
  writeLinks(j, "desktop_links", p.desktopLinks);
  j.key("root");
  if (p.root) {
    j.beginObject();
    j.key("abbreviation_hex");
    j.string(zorv::toHex(p.root->first));
    j.key("key_hex");
    j.string(zorv::toHex(p.root->second));
    j.endObject();
  } else {
    j.null();
  }
  j.key("values");
  j.beginArray();
  for (const ValueSpec& v : p.values) {
    j.beginObject();
    j.key("name_hex");
    j.string(zorv::toHex(v.name));
    j.key("type");
    j.string(v.type);
    j.key("data_hex");
    j.string(zorv::toHex(v.data));
    j.endObject();
  }
  j.endArray();
  writeHexList(j, "delete_dirs_hex", p.deleteDirs);
  writeHexList(j, "delete_files_hex", p.deleteFiles);
  writeOptionalHex(j, "run_hex", p.run);
  j.key("bitmaps");  // name: [width, height]
  j.beginObject();
  for (const BitmapSpec& b : p.bitmaps) {
    j.key(b.name);
    j.beginArray();
    j.number(b.width);
    j.number(b.height);
    j.endArray();
  }
  j.endObject();
  j.endObject();
  return j.text();
}

std::optional<Bytes> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool writePackage(const fs::path& dir, const PackageSpec& p, const std::optional<Bytes>& stub) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  const auto built = buildPackage(p);
  if (!built) {
    std::fprintf(stderr, "make_test_packages: %s\n", built.error().c_str());
    return false;
  }
  const Bytes& package = *built;
  std::string description = describe(p);
  if (!writeFile(dir / "package.bin", package) ||
      !writeFile(dir / "package.json", textBytes(description))) {
    std::fprintf(stderr, "make_test_packages: cannot write into %s\n", dir.c_str());
    return false;
  }
  if (!stub) return true;
  auto exe = zorv::setPeResource(*stub, "SETUP", 101, package);
  if (!exe) {
    std::fprintf(stderr, "make_test_packages: cannot embed the package: %s\n", exe.error().c_str());
    return false;
  }
  return writeFile(dir / "setup.exe", *exe);
}

int usage(const char* why) {
  std::fprintf(stderr, "make_test_packages: %s\n", why);
  std::fprintf(stderr, "usage: make_test_packages --out DIR [--stub SETUP_EXE] [--marker EXE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path out, stubPath, markerPath;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i];
    if (arg == "--out")
      out = argv[i + 1];
    else if (arg == "--stub")
      stubPath = argv[i + 1];
    else if (arg == "--marker")
      markerPath = argv[i + 1];
    else
      return usage(("unknown option " + arg).c_str());
  }
  if (out.empty() || argc % 2 == 0) return usage("--out is needed, every option takes a value");
  std::optional<Bytes> stub;
  if (!stubPath.empty() && !(stub = readFile(stubPath)))
    return usage(("cannot read " + stubPath.string()).c_str());

  std::vector<std::pair<std::string, PackageSpec>> packages;
  packages.emplace_back("standard", standardPackage());
  packages.emplace_back("russian", russianPackage());
  PackageSpec noName = standardPackage();
  noName.appName.reset();
  packages.emplace_back("no-appname", noName);
  PackageSpec badRoot = standardPackage();
  badRoot.root = {{"XYZ", "Software\\ZorvE2E\\NoRoot"}};
  packages.emplace_back("bad-root", badRoot);
  if (!markerPath.empty()) {
    auto marker = readFile(markerPath);
    if (!marker) return usage(("cannot read " + markerPath.string()).c_str());
    PackageSpec run = standardPackage();
    run.files.push_back({"marker.exe", *marker});
    run.run = "marker.exe";
    packages.emplace_back("run", run);
  }
  for (const auto& [name, desc] : packages)
    if (!writePackage(out / name, desc, stub)) return 1;
  return 0;
}
