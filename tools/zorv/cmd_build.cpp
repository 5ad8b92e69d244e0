// zorv build MANIFEST -o OUT [--stub STUB] [-j N]: a setup.exe (OUT ending in .exe: the stub
// with the package as its resource "SETUP" 101) or a bare package (any other name).
#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/builder/build.h"
#include "tools/builder/progress_bar.h"
#include "tools/builder/stub_path.h"
#include "tools/pe/pe_resources.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

namespace {

constexpr const char* kUsage = "usage: zorv build MANIFEST -o OUT [--stub STUB] [-j N]";

struct BuildArgs {
  std::string manifest, out, stub;
  unsigned threads = 0;
};

std::optional<BuildArgs> parseArgs(Args args) {
  BuildArgs a;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "-o" && hasValue) {
      a.out = args[++i];
    } else if (arg == "--stub" && hasValue) {
      a.stub = args[++i];
    } else if (arg == "-j" && hasValue) {
      const std::string_view n = args[++i];
      auto [p, ec] = std::from_chars(n.data(), n.data() + n.size(), a.threads);
      if (ec != std::errc() || p != n.data() + n.size() || a.threads == 0 || a.threads > 1024)
        return std::nullopt;
    } else if (a.manifest.empty() && !arg.starts_with("-")) {
      a.manifest = arg;
    } else {
      return std::nullopt;
    }
  }
  if (a.manifest.empty() || a.out.empty()) return std::nullopt;
  return a;
}

bool endsWithExe(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".exe";
}

// The header records the output's file name when it fits its 15 characters.
std::string headerNameFor(const std::string& out) {
  const std::string name = std::filesystem::path(out).filename().string();
  const bool plain =
      std::all_of(name.begin(), name.end(), [](char c) { return c > 0x20 && c < 0x7F; });
  return !name.empty() && name.size() <= 15 && plain ? name : "setup.exe";
}

// Written to a neighbour first and renamed, so a failed build leaves no half file behind.
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         std::string* why) {
  const std::string temporary = path + ".partial";
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      *why = "cannot write " + path;
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    *why = "cannot write " + path + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> loadStub(const std::string& given, std::string* why) {
  std::string path = given;
  if (path.empty()) {
    auto found = findDefaultStub();
    if (!found) {
      *why = "no setup stub found; build the win32 preset or pass --stub STUB (looked for";
      for (const auto& p : stubCandidates()) {
        *why += ' ';
        *why += p.string();
      }
      *why += ")";
      return std::nullopt;
    }
    path = found->string();
  }
  std::vector<std::uint8_t> stub;
  if (!readWholeFile(path, stub, why)) return std::nullopt;
  return stub;
}

// The stub with the package as resource "SETUP" 101, read back to make sure it is there.
std::optional<std::vector<std::uint8_t>> makeSetupExe(std::span<const std::uint8_t> stub,
                                                      std::span<const std::uint8_t> package,
                                                      std::string* why) {
  std::string reason;
  auto exe = setPeResource(stub, "SETUP", 101, package, &reason);
  if (!exe) {
    *why = "cannot put the package into the stub: " + reason;
    return std::nullopt;
  }
  auto back = findPeResource(*exe, "SETUP", 101, &reason);
  if (!back || !std::equal(back->begin(), back->end(), package.begin(), package.end())) {
    *why = "the setup.exe does not carry the package it was given" +
           (reason.empty() ? "" : ": " + reason);
    return std::nullopt;
  }
  return exe;
}

}  // namespace

int cmdBuild(Args args) {
  auto a = parseArgs(args);
  if (!a) return fail(kUsage);
  std::string why;
  std::optional<std::vector<std::uint8_t>> stub;
  const bool exe = endsWithExe(a->out);
  if (exe && !(stub = loadStub(a->stub, &why))) return fail(why);

  BuildOptions options;
  options.threads = a->threads;
  options.headerName = headerNameFor(a->out);
  ProgressBar bar;
  options.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); };

  Diagnostics diag;
  BuildSummary summary;
  auto package = buildFromManifest(a->manifest, options, diag, &summary);
  bar.finish();
  std::cerr << diag.text();
  if (!package) {
    return fail(std::to_string(diag.errorCount()) +
                (diag.errorCount() == 1 ? " error" : " errors") + "; nothing was written");
  }
  const std::size_t packageSize = package->size();
  std::vector<std::uint8_t> output;
  if (exe) {
    auto setup = makeSetupExe(*stub, *package, &why);
    if (!setup) return fail(why);
    output = std::move(*setup);
  } else {
    output = std::move(*package);
  }
  if (!writeFileAtomically(a->out, output, &why)) return fail(why);
  std::cout << a->out << ": " << summary.files << " files, " << summary.folders << " folders, "
            << summary.bytes << " bytes in " << summary.blocks << " blocks; package " << packageSize
            << " bytes";
  if (exe) std::cout << ", setup.exe " << output.size() << " bytes";
  std::cout << '\n';
  return 0;
}

}  // namespace zorv
