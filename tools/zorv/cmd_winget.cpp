// zorv winget SETUP.exe --id ID --url URL --license TEXT [-o DIR] [--locale L]
// [--description TEXT]: the three files of a winget manifest (winget_manifest.h) for a setup
// that `zorv build` made, into DIR or the current folder, one path a line on standard output.
// The hash is of the file as given: run it on the signed setup that goes to URL.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/terminal_text.h"
#include "tools/zorv/commands.h"
#include "tools/host/host_system.h"
#include "tools/host/output_file.h"
#include "tools/examine/package_file.h"
#include "tools/winget/sha256.h"
#include "tools/winget/winget_manifest.h"
#include "tools/winget/winget_setup.h"

namespace zorv {

namespace {

std::expected<void, std::string> writeText(const std::string& path, const std::string& text) {
  return writeOutput(path, [&](std::FILE* f) -> std::expected<void, std::string> {
    if (std::fwrite(text.data(), 1, text.size(), f) == text.size()) return {};
    return std::unexpected("cannot write " + path);
  });
}

}  // namespace

int cmdWinget(const WingetArgs& args) {
  std::error_code ec;
  if (!std::filesystem::is_directory(args.dir, ec))
    return fail(terminalText(args.dir) + ": no such folder (-o names the folder to write into)");
  auto loaded = loadPackageFile(args.file);
  if (!loaded) return fail(loaded.error());
  const std::span<const std::uint8_t> bytes = loaded->file.bytes();
  SetupFactsResult read = readSetupFacts(bytes, *loaded->package);
  if (!read.facts) return fail(terminalText(args.file) + ": " + terminalText(read.why));
  const SetupFacts& facts = *read.facts;

  WingetPackage p;
  p.identifier = commandLineText(args.id);
  p.version = facts.version;
  p.locale = commandLineText(args.locale);
  p.publisher = facts.publisher;
  p.name = facts.appName;
  p.license = commandLineText(args.license);
  if (args.description) {
    p.shortDescription = commandLineText(*args.description);
    p.descriptionOrigin = "--description";
  } else if (facts.fileDescription) {
    p.shortDescription = *facts.fileDescription;
    p.descriptionOrigin = "the setup's FileDescription";
  } else {
    return fail(terminalText(args.file) +
                ": its version resource gives no FileDescription of the application's own: "
                "give --description TEXT");
  }
  p.installerUrl = commandLineText(args.url);
  p.installerSha256 = upperHex(sha256(bytes));
  p.userScope = facts.userScope;
  if (const std::string problem = wingetPackageProblem(p); !problem.empty())
    return fail(terminalText(problem));

  // The files are named with the identifier as the command line gave it, in the system's own
  // form; their texts hold it in UTF-8.
  for (const ManifestFile& m : wingetManifests(p)) {
    const std::string path = pathIn(args.dir, args.id + m.suffix);
    if (auto written = writeText(path, m.text); !written)
      return fail(terminalText(written.error()));
    std::printf("%s\n", terminalText(path).c_str());
  }
  return 0;
}

}  // namespace zorv
