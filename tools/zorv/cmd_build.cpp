// zorv build MANIFEST -o OUT [--stub STUB] [--uninstaller PATH] [-j N]: a setup.exe (OUT
// ending in .exe: the stub with the product's resources and the package as its resource
// "SETUP" 101) or a bare package (OUT ending in .pkg, or a device such as /dev/null; the
// command line refuses other names). The package carries uninstall.exe unless the manifest
// says [uninstall] program = false.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/builder/build.h"
#include "tools/builder/executables.h"
#include "tools/host/file_identity.h"
#include "tools/builder/limits.h"
#include "tools/host/progress_bar.h"
#include "tools/builder/setup_file.h"
#include "tools/builder/signing.h"
#include "tools/host/stub_path.h"
#include "tools/zorv/commands.h"
#include "tools/host/output_file.h"
#include "tools/examine/package_file.h"

namespace zorv {

namespace {

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

// Why OUT cannot be written: it is a file the build reads (by device and inode, so links and
// other spellings count), or a folder. Otherwise "". The neighbour it is first written to is
// new, so it cannot be an input.
std::string outputProblem(const std::string& out, const std::vector<Input>& inputs) {
  std::error_code ec;
  if (std::filesystem::is_directory(out, ec))
    return "refusing to write " + out + ": it is a folder";
  const std::optional<FileIdentity> id = fileIdentity(out);
  if (!id) return "";
  for (const Input& in : inputs)
    if (fileIdentity(in.path) == id)
      return "refusing to write " + out + ": it is " + in.role + " " + in.path.string();
  return "";
}

// True when OUT is a device, a pipe or the like (/dev/null): the build is then a dry run, which
// writes it in place and signs nothing.
bool dryRun(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  return std::filesystem::exists(st) && !std::filesystem::is_regular_file(st);
}

// The stub's bytes; `path` is the file given, or else the one found.
std::expected<std::vector<std::uint8_t>, std::string> loadStub(std::string& path) {
  if (path.empty()) {
    auto found = findDefaultStub();
    if (!found) {
      std::string why =
          "no setup stub found; build the win32 preset or pass --stub STUB (looked for";
      for (const auto& p : stubCandidates()) why += ' ' + p.string();
      return std::unexpected(why + ")");
    }
    path = found->string();
  }
  return readWholeFile(path);
}

}  // namespace

int cmdBuild(const BuildArgs& args) {
  std::optional<BuildArgs> a = args;  // loadStub fills in the stub it finds
  std::string why;
  std::optional<std::vector<std::uint8_t>> stub;
  const bool exe = endsWithExe(a->out);
  if (exe) {
    auto loaded = loadStub(a->stub);
    if (!loaded) return fail(loaded.error());
    stub = std::move(*loaded);
  }

  Diagnostics diag;
  auto failed = [&diag] {
    std::cerr << diag.text();
    return fail(std::to_string(diag.errorCount()) +
                (diag.errorCount() == 1 ? " error" : " errors") + "; nothing was written");
  };
  auto manifest = loadManifest(a->manifest, diag);
  auto plan = manifest ? makePlan(*manifest, diag) : std::nullopt;
  if (!plan) return failed();
  const bool dry = dryRun(a->out);
  if (auto carried = carryUninstaller(*manifest, *plan, a->uninstaller, !dry, diag); !carried) {
    std::cerr << diag.text();
    return fail(carried.error());
  }
  // Before a byte is compressed: the output must not destroy what the build reads.
  why = outputProblem(a->out, inputsOf(*a, *manifest, *plan));
  if (!why.empty()) {
    std::cerr << diag.text();
    return fail(why);
  }

  // A stub that cannot carry the package is refused before anything is compressed.
  if (exe) {
    auto split = makeSplitSetupExecutable(*stub, *manifest, *plan, 0, originalFileName(a->out));
    if (!split) {
      std::cerr << diag.text();
      return fail(split.error());
    }
  }

  BuildOptions options;
  options.threads = a->threads;
  options.best = a->best;
  options.headerName = headerNameFor(a->out);
  BuildProgress bar;
  options.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); };
  BuildSummary summary;
  SetupFileSizes sizes;
  bool attempted = false, built = false;
  const auto written = writeOutput(
      a->out,
      [&](std::FILE* f) -> std::expected<void, std::string> {
        attempted = true;
        auto setup = writeSetupFile(f, stub ? &*stub : nullptr, *manifest, *plan, options,
                                    originalFileName(a->out), &summary);
        built = setup.has_value();
        if (!setup) {
          why = setup.error();
          return std::unexpected(why);
        }
        sizes = *setup;
        return {};
      },
      [&](const std::string& finished) -> std::expected<void, std::string> {
        if (!exe || !manifest->signing) return {};
        if (auto failed = signFile(*manifest->signing, finished, "the setup"))
          return std::unexpected(std::move(*failed));
        return {};
      });
  bar.finish();
  if (attempted && !built) {
    diag.error(a->manifest, 0, why);
    return failed();
  }
  if (!written) return fail(written.error());
  std::cerr << diag.text();
  std::cout << a->out << ": " << summary.files << " files, " << summary.folders << " folders, "
            << summary.bytes << " bytes in " << summary.blocks << " blocks; package "
            << sizes.package << " bytes";
  if (exe) std::cout << ", setup.exe " << sizes.file << " bytes";
  std::cout << '\n';
  return 0;
}

}  // namespace zorv
