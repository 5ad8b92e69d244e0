// zorv build MANIFEST -o OUT [--stub STUB] [--uninstaller PATH] [-j N]: a setup.exe (OUT
// ending in .exe: the stub with the product's resources and the package as its resource
// "SETUP" 101) or a bare package (any other name). The package carries uninstall.exe unless
// the manifest says [uninstall] program = false.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/builder/build.h"
#include "tools/builder/executables.h"
#include "tools/builder/file_identity.h"
#include "tools/builder/limits.h"
#include "tools/builder/progress_bar.h"
#include "tools/builder/stub_path.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

namespace {

constexpr const char* kUsage =
    "usage: zorv build MANIFEST -o OUT [--stub STUB] [--uninstaller PATH] [-j N]";

struct BuildArgs {
  std::string manifest, out, stub, uninstaller;
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
    } else if (arg == "--uninstaller" && hasValue) {
      a.uninstaller = args[++i];
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

// The setup's OriginalFilename: the output's name, unless it holds control characters.
std::string originalFileName(const std::string& out) {
  const std::string name = std::filesystem::path(out).filename().string();
  const bool plain = std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  return !name.empty() && name.size() <= kMaxRecordText && plain ? name : "setup.exe";
}

// A file the build reads, and what it is to the build, for messages.
struct Input {
  std::filesystem::path path;
  std::string role;  // "the manifest", "the stub", "a source file of the package", ...
};

std::vector<Input> inputsOf(const BuildArgs& a, const Manifest& m, const Plan& plan) {
  std::vector<Input> inputs{{a.manifest, "the manifest"}};
  if (!a.stub.empty()) inputs.push_back({a.stub, "the stub"});
  if (!a.uninstaller.empty()) inputs.push_back({a.uninstaller, "the uninstaller"});
  if (m.icon) inputs.push_back({m.icon->source, "the icon"});
  for (const auto& b : m.bitmaps)
    if (b) inputs.push_back({b->source, "a bitmap of the page"});
  forEachFileInPackageOrder(plan, [&](const PlannedFile& f) {
    inputs.push_back({f.source, "a source file of the package"});
  });
  return inputs;
}

// Why OUT cannot be written: it, or the neighbour the output is first written to, is a file
// the build reads (by device and inode, so links and other spellings count), or a folder.
// Otherwise "".
std::string outputProblem(const std::string& out, const std::vector<Input>& inputs) {
  std::error_code ec;
  if (std::filesystem::is_directory(out, ec))
    return "refusing to write " + out + ": it is a folder";
  for (const std::string& path : {out, out + ".partial"}) {
    const std::optional<FileIdentity> id = fileIdentity(path);
    if (!id) continue;
    for (const Input& in : inputs)
      if (fileIdentity(in.path) == id)
        return "refusing to write " + path + ": it is " + in.role + " " + in.path.string();
  }
  return "";
}

// A device, a pipe or the like is written in place: /dev/null stays a device and the build is
// a dry run. Renaming a regular file over it would replace the node itself.
bool writeInPlace(const std::string& path, std::span<const std::uint8_t> bytes, std::string* why) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *why = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
  int error = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) *why = "cannot write " + path + ": " + std::strerror(error);
  return ok;
}

// Written to a neighbour first and renamed, so a failed build leaves no half file behind.
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         std::string* why) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (std::filesystem::exists(st) && !std::filesystem::is_regular_file(st))
    return writeInPlace(path, bytes, why);
  const std::string temporary = path + ".partial";
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

// The stub's bytes; `path` is the file given, or else the one found.
std::optional<std::vector<std::uint8_t>> loadStub(std::string& path, std::string* why) {
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

}  // namespace

int cmdBuild(Args args) {
  auto a = parseArgs(args);
  if (!a) return fail(kUsage);
  std::string why;
  std::optional<std::vector<std::uint8_t>> stub;
  const bool exe = endsWithExe(a->out);
  if (exe && !(stub = loadStub(a->stub, &why))) return fail(why);

  Diagnostics diag;
  auto failed = [&diag] {
    std::cerr << diag.text();
    return fail(std::to_string(diag.errorCount()) +
                (diag.errorCount() == 1 ? " error" : " errors") + "; nothing was written");
  };
  auto manifest = loadManifest(a->manifest, diag);
  auto plan = manifest ? makePlan(*manifest, diag) : std::nullopt;
  if (!plan) return failed();
  if (!carryUninstaller(*manifest, *plan, a->uninstaller, &why)) {
    std::cerr << diag.text();
    return fail(why);
  }
  // Before a byte is compressed: the output must not destroy what the build reads.
  why = outputProblem(a->out, inputsOf(*a, *manifest, *plan));
  if (!why.empty()) {
    std::cerr << diag.text();
    return fail(why);
  }

  BuildOptions options;
  options.threads = a->threads;
  options.headerName = headerNameFor(a->out);
  ProgressBar bar;
  options.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); };
  BuildSummary summary;
  auto package = buildPackage(*manifest, *plan, options, &why, &summary);
  bar.finish();
  if (!package) {
    diag.error(a->manifest, 0, why);
    return failed();
  }
  std::cerr << diag.text();
  const std::size_t packageSize = package->size();
  std::vector<std::uint8_t> output;
  if (exe) {
    auto setup = makeSetupExecutable(*stub, *manifest, *plan, *package,
                                     originalFileName(a->out), &why);
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
