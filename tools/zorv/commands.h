// The subcommands of the zorv tool and the values their command lines give them (parsed by
// command_line.cpp). Each returns the process exit status: 0 on success, 1 after one clear line
// on standard error. Usage errors (exit status 2) never reach them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "package/format.h"
#include "tools/host/host_system.h"
#include "tools/host/text_code_page.h"

namespace zorv {

// The folder whose files are the application; the manifest is written into it.
struct InitArgs {
  std::string dir = ".";
};

struct BuildArgs {
  std::string manifest, out, stub, uninstaller;
  unsigned threads = 0;  // 0: one per processor
  bool best = false;     // --best
};

struct ListArgs {
  std::string file;
  bool entries = false;  // the raw directory instead of what the setup installs
  bool json = false;
  CodePageChoice codePage = 0;
};

// Exactly one of entry and range is set.
struct CatArgs {
  std::string file;
  std::optional<std::uint32_t> entry;
  std::optional<PackedRange> range;
  std::string rangeText;  // the range as given, for messages
};

struct ExtractArgs {
  std::string file;
  std::string dir = ".";
  CodePageChoice codePage = 0;
  unsigned jobs = 0;  // threads that unpack blocks ahead; 0: one per processor, 1: none
};

struct InstallArgs {
  std::string file, dest;
  int language = 0;  // 0 English, 1 Russian
  bool desktop = true;
  bool run = false;
  CodePageChoice codePage = 0;
  unsigned jobs = 0;  // as ExtractArgs::jobs
  PlatformPaths paths;
};

struct UninstallArgs {
  std::string dest;
  bool yes = false;
  PlatformPaths paths;
};

struct VerifyArgs {
  std::string file;
};

// The texts as the command line gives them: on Windows in the ANSI code page.
struct WingetArgs {
  std::string file, id, url, license;
  std::string dir = ".";
  std::string locale = "en-US";
  std::optional<std::string> description;  // none: the setup's FileDescription
};

int cmdInit(const InitArgs& args);
int cmdBuild(const BuildArgs& args);
int cmdList(const ListArgs& args);
int cmdCat(const CatArgs& args);
int cmdExtract(const ExtractArgs& args);
int cmdInstall(const InstallArgs& args);
int cmdUninstall(const UninstallArgs& args);
int cmdVerify(const VerifyArgs& args);
int cmdWinget(const WingetArgs& args);

}  // namespace zorv
