// make_winget_setups STUB DIR: writes the setups that the winget end-to-end test needs and that
// `zorv build` does not make, each STUB with a package of the writer's as its resource "SETUP"
// 101 and STUB's own version resource (ProductName "Zorv Setup", not the application's):
//   DIR/user.exe        a release for the user alone ("Rels" with kReleaseUserScope) whose
//                       texts are in code page 1251: "Заметки", version "2.1 бета",
//                       publisher "Зорв";
//   DIR/plain.exe       the same without a "Rels" entry, as builders before releases wrote it;
//   DIR/short-rels.exe  a "Rels" entry of three bytes;
//   DIR/backslash.exe   an application name with a backslash, which names no key of its own
//                       in the list of installed programs.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tools/pe/pe_resources.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace {

using zorv::Bytes;

// AppN, SumC, UnIn and CPag as the builder writes them; `more` adds the rest.
std::expected<Bytes, std::string> package(const std::string& app, std::uint32_t codePage,
                                          const std::function<void(zorv::PackageWriter&)>& more) {
  zorv::PackageWriter w;
  w.addEntry(zorv::kTagAppName, "AppN", zorv::nameRecord(app));
  w.addInline(zorv::kTagSum, "Copy", 0, 0);
  w.addEntry(
      zorv::kTagUninstaller, "UnIn",
      zorv::uninstallerRecord("uninstall.exe", "2.1 \xE1\xE5\xF2\xE0", "\xC7\xEE\xF0\xE2", ""));
  w.addEntry(zorv::kTagCodePage, "CodePage", zorv::codePageRecord(codePage));
  more(w);
  return w.finish();
}

bool saveSetup(const Bytes& stub, const std::string& path,
               const std::expected<Bytes, std::string>& pkg) {
  if (!pkg) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), pkg.error().c_str());
    return false;
  }
  const auto exe = zorv::setPeResource(stub, "SETUP", 101, *pkg);
  if (!exe) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), exe.error().c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(exe->data()), std::streamsize(exe->size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_winget_setups STUB DIR\n");
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes stub((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string dir = argv[2];
  const std::string notes = "\xC7\xE0\xEC\xE5\xF2\xEA\xE8";  // Заметки in 1251
  const auto release = [](std::uint32_t features) {
    return [features](zorv::PackageWriter& w) {
      w.addEntry(zorv::kTagRelease, "Release", zorv::releaseRecord(features));
    };
  };
  return saveSetup(
             stub, dir + "/user.exe",
             package(notes, 1251, release(zorv::kReleaseFeatures | zorv::kReleaseUserScope))) &&
                 saveSetup(stub, dir + "/plain.exe", package(notes, 1251, [](auto&) {})) &&
                 saveSetup(stub, dir + "/short-rels.exe",
                           package(notes, 1251,
                                   [](zorv::PackageWriter& w) {
                                     w.addEntry(zorv::kTagRelease, "Release", Bytes{1, 0, 0});
                                   })) &&
                 saveSetup(stub, dir + "/backslash.exe",
                           package("Zorv\\Demo", 1252, release(zorv::kReleaseFeatures)))
             ? 0
             : 1;
}
