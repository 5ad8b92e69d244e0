// Runs the whole install on arbitrary package bytes, on the recording fake, and stops at the
// first thing made where it does not belong: a file, folder, link or log line outside the
// destination, the Programs folder and the Desktop folder; a log line the run did not write;
// a registry key with a control character; a walk past the package's one budget. Built as a
// libFuzzer target with clang, and as a plain program that replays seed files under CTest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "install/install.h"
#include "package/byte_cursor.h"
#include "package/package.h"
#include "tests/fake/fake_platform.h"
#include "wizard/package_facts.h"

namespace {

using namespace zorv;

constexpr std::uint32_t kBudget = 300;
constexpr std::string_view kDest = "C:\\Apps\\Demo";
constexpr std::string_view kPrograms = "C:\\Menu\\Programs";
constexpr std::string_view kDesktop = "C:\\Desktop";

[[noreturn]] void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "install fuzz: %.*s: %.*s\n", int(what.size()), what.data(),
               int(detail.size()), detail.data());
  std::abort();
}

// True when `path` is one of the three folders or lies below one, without climbing back.
bool inside(std::string_view path) {
  for (std::string_view base : {kDest, kPrograms, kDesktop}) {
    if (path == base) return true;
    if (path.size() > base.size() && path.starts_with(base) &&
        (path[base.size()] == '\\' || path[base.size()] == '/') &&
        !escapesDirectory(path.substr(base.size() + 1)))
      return true;
  }
  return false;
}

void checkLog(const std::string& log) {
  static const std::uint32_t kPathTags[] = {kTagDeleteFile, kTagDeleteDir};
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    if (end == std::string::npos) fail("log line without its end", log.substr(start));
    const std::string_view line = std::string_view(log).substr(start, end - start);
    start = end + 1;
    if (line.size() < 5 || line[4] != ' ') fail("log line", line);
    const std::uint32_t tag = loadLE32(reinterpret_cast<const std::uint8_t*>(line.data()));
    if (tag == kTagLogName || tag == kTagLogWork || tag == kTagLogDeleteKey) continue;
    bool known = false;
    for (std::uint32_t t : kPathTags) known = known || t == tag;
    if (!known) fail("log line of no known kind", line);
    if (!inside(line.substr(5))) fail("log line outside", line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetupState state;
  state.package = openPackage(std::span<const std::uint8_t>(data, size));
  if (!state.package) return 0;
  const std::optional<PackageFacts> facts = readPackageFacts(*state.package);
  if (!facts) return 0;
  state.appName = facts->appName;
  state.requiredBytes = facts->requiredBytes;
  state.destinationDir = std::string(kDest);
  state.setupDir = "C:\\Setup\\";
  state.runAfterInstall = false;

  FakePlatform fake;
  fake.addDirectory(std::string(kDest));
  const std::set<std::string> before = fake.directories;
  runInstall(state, fake, fake, kBudget);

  // Each file opened is a "Copy" record visited, top-level or nested, and all of them share
  // one budget; one more is the uninstall log.
  std::uint64_t opened = 0;
  for (const std::string& call : fake.calls) opened += call.starts_with("openOutput");
  if (opened > 1 + std::uint64_t(kBudget))
    fail("a walk outran its budget", std::to_string(opened) + " files opened");
  for (const auto& [path, contents] : fake.files)
    if (!inside(path)) fail("file outside", path);
  for (const std::string& dir : fake.directories)
    if (!before.count(dir) && !inside(dir)) fail("folder outside", dir);
  for (const auto& link : fake.links)
    if (!inside(link.path) || link.path.starts_with(kDest)) fail("link outside", link.path);
  for (const auto& [key, values] : fake.registry)
    for (unsigned char c : key)
      if (c < 0x20 && !key.starts_with("HKLM\\SoftWare\\Zantrel\\")) fail("registry key", key);
  const std::string log = fake.file(std::string(kDest) + "\\UnInstall.log");
  if (log != "<missing>") checkLog(log);
  if (fake.openFiles() != 0) fail("files left open", std::to_string(fake.openFiles()));
  return 0;
}
