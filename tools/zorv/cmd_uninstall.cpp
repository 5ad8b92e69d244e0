// zorv uninstall DEST: the uninstaller's engine, natively, on the DEST/UnInstall.log that
// `zorv install` wrote, with the same registry file, Programs and Desktop folders. It asks
// first unless --yes; a standard input that is no terminal answers no, so a script must say
// --yes. The report goes to standard output, every path through terminalText.
//
// Beyond the engine's own rules, the POSIX platform is confined to DEST, the Programs and the
// Desktop folders, named byte for byte: the engine compares paths as Windows does, without
// regard to case, and this file system does not. For the same reason the log's "Work" must be
// DEST exactly, not merely the same folder to Windows' eyes.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/posix_platform.h"
#include "texts/texts.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"
#include "tools/zorv/platform_options.h"
#include "uninstall/uninstall.h"

namespace zorv {

namespace {

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A report item: a path in POSIX form, or a key ("HCU Software\...") or log value as it is.
std::string shown(const std::string& item) {
  return terminalText(item.starts_with('/') ? posixPath(item) : item);
}

// The question in English on standard error; yes only for "y" or "yes" typed on a terminal.
bool userAgrees(const std::string& appName) {
  std::cerr << text(Text::UninstallQuestionPrefix, kEnglish) << terminalText(appName)
            << text(Text::UninstallQuestionSuffix, kEnglish) << " [y/N] " << std::flush;
  if (!isatty(STDIN_FILENO)) {
    std::cerr << "\nno terminal to answer on: nothing removed (--yes removes without asking)\n";
    return false;
  }
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    std::cerr << '\n';
    return false;
  }
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

// Refused items are printed as the log wrote them, the others as this system names them.
void printItems(std::string_view heading, const std::vector<std::string>& items,
                bool asLogged = false) {
  if (items.empty()) return;
  std::cout << heading << '\n';
  for (const std::string& item : items)
    std::cout << "  " << (asLogged ? terminalText(item) : shown(item)) << '\n';
}

}  // namespace

int cmdUninstall(const UninstallArgs& args) {
  const bool yes = args.yes;
  const PosixPlatformOptions options = platformOptionsFrom(args.paths);
  const std::string dest = withoutTrailingSlashes(absolutePath(args.dest));

  PosixPlatform platform(options);
  if (!platform.registryError().empty())
    return fail("cannot uninstall: " + terminalText(platform.registryError()));
  platform.confineRemovalTo({dest, options.programsFolder, options.desktopFolder});

  const std::string logPath = dest + "/UnInstall.log";
  std::string why;
  const std::optional<UninstallLog> log =
      loadUninstallLog(platform, logPath, platform.protectedFolders(), &why);
  if (!log) return fail("cannot uninstall: " + terminalText(why));
  if (withoutTrailingSlashes(posixPath(log->work)) != dest)
    return fail("cannot uninstall: the log belongs to another folder: " + shown(log->work));
  if (!yes && !userAgrees(log->appName)) return 1;

  // The scope of defaultUninstallScope, without making the special folders when missing.
  UninstallScope scope;
  scope.logPath = logPath;
  scope.groupFolders = {options.programsFolder};
  scope.desktopFolders = {options.desktopFolder};
  scope.protectedFolders = platform.protectedFolders();
  const UninstallReport report = runUninstall(*log, scope, platform);

  printItems("Removed:", report.removed);
  printItems(text(Text::UninstallNotFound, kEnglish), report.notFound);
  printItems(text(Text::UninstallLeftBehind, kEnglish), report.leftBehind);
  printItems(text(Text::UninstallRefused, kEnglish), report.refused, true);
  if (report.workKept) printItems(text(Text::UninstallWorkKept, kEnglish), {log->work});
  std::cout << std::flush;
  if (!report.complete())
    return fail("the uninstall did not complete: " +
                std::to_string(report.leftBehind.size()) + " left behind, " +
                std::to_string(report.refused.size()) + " refused");
  std::cout << text(Text::UninstallComplete, kEnglish) << '\n';
  return 0;
}

}  // namespace zorv
