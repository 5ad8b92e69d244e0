// zorv uninstall DEST: the uninstaller's engine on the DEST/UnInstall.log that `zorv install`
// wrote, with the same registry, Programs and Desktop folders (host_system.h). It asks first
// unless --yes; a standard input that is no terminal answers no, so a script must say --yes.
// The report goes to standard output, every path through terminalText.
//
// Beyond the engine's own rules, a POSIX system is confined to DEST, the Programs and the
// Desktop folders, named byte for byte: the engine compares paths as Windows does, without
// regard to case, and that file system does not. For the same reason the log's "Work" must be
// DEST exactly there, not merely the same folder to Windows' eyes (sameFolder).
//
// The log's texts are in the code page that its "CPag" line names (text_code_page.h); the
// engine works in it, and the platform finds the files under their UTF-8 names.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "install/package_limits.h"
#include "platform/terminal_text.h"
#include "texts/texts.h"
#include "tools/zorv/commands.h"
#include "tools/host/host_system.h"
#include "tools/examine/package_file.h"
#include "tools/host/text_code_page.h"
#include "uninstall/uninstall.h"
#include "log/uninstall_log_file.h"

namespace zorv {

namespace {

// A report item: a path in the system's form, or a key ("HCU Software\...") or log value as
// it is.
std::string shown(const HostSystem& host, const std::string& item) {
  return shownPath(host.hostText(item));
}

// The question in English on standard error; yes only for "y" or "yes" typed on a terminal.
bool userAgrees(const std::string& appName) {
  std::cerr << text(Text::UninstallQuestionPrefix, kEnglish) << terminalText(appName)
            << text(Text::UninstallQuestionSuffix, kEnglish) << " [y/N] " << std::flush;
  if (!stdinIsTerminal()) {
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
void printItems(const HostSystem& host, std::string_view heading,
                const std::vector<std::string>& items, bool asLogged = false) {
  if (items.empty()) return;
  std::cout << heading << '\n';
  for (const std::string& item : items)
    std::cout << "  " << (asLogged ? terminalText(host.hostText(item)) : shown(host, item)) << '\n';
}

}  // namespace

int cmdUninstall(const UninstallArgs& args) {
  const bool yes = args.yes;
  const std::unique_ptr<HostSystem> host = openHostSystem(args.paths);
  if (!host->error().empty()) return fail("cannot uninstall: " + terminalText(host->error()));
  RemovePlatform& remover = host->remover();
  // In its long form, as the log's "Work" is compared.
  const std::string dest =
      remover.expandPath(absolutePath(args.dest)).value_or(absolutePath(args.dest));
  const std::string programs = host->programsFolder(), desktop = host->desktopFolder();
  host->confineRemovalTo({dest, programs, desktop});

  // The log's own line names the code page of its texts, read before anything else; without
  // one, its bytes are names as they are.
  int codePage = 0;
  if (const auto bytes = remover.readFile(pathIn(dest, kUninstallLogName), kMaxLogBytes))
    codePage = host->useCodePage(logCodePage(*bytes).value_or(0));
  // The engine names the folders, like every path of the log, in that code page.
  const auto engineDest = engineFolder(*host, dest, codePage);
  if (!engineDest) return fail("cannot uninstall: " + engineDest.error());
  const std::string logPath = pathIn(*engineDest, kUninstallLogName);
  std::string why;
  const std::optional<UninstallLog> log =
      loadUninstallLog(remover, logPath, remover.protectedFolders(), &why);
  if (!log) return fail("cannot uninstall: " + terminalText(host->hostText(why)));
  if (!sameFolder(hostPath(log->work), *engineDest))
    return fail("cannot uninstall: the log belongs to another folder: " + shown(*host, log->work));
  if (!yes && !userAgrees(host->hostText(log->appName))) return 1;

  // The scope of defaultUninstallScope, without making the special folders when missing.
  UninstallScope scope;
  scope.logPath = logPath;
  if (auto folder = host->engineText(programs)) scope.groupFolders = {*folder};
  if (auto folder = host->engineText(desktop)) scope.desktopFolders = {*folder};
  scope.protectedFolders = remover.protectedFolders();
  scope.registeredLocations = registeredLocations(host->platform().registry, log->appName);
  const UninstallReport report = runUninstall(*log, scope, remover);

  printItems(*host, "Removed:", report.removed);
  printItems(*host, text(Text::UninstallNotFound, kEnglish), report.notFound);
  printItems(*host, text(Text::UninstallLeftBehind, kEnglish), report.leftBehind);
  printItems(*host, text(Text::UninstallRefused, kEnglish), report.refused, true);
  std::vector<std::string> kept = report.kept;
  if (report.workKept) kept.push_back(log->work);
  printItems(*host, text(Text::UninstallWorkKept, kEnglish), kept);
  std::cout << std::flush;
  if (report.outOfBudget)
    std::cerr << "zorv: the uninstall stopped after " << kMaxRemoveEntries
              << " log lines and listed names; run it again for the rest\n";
  if (!report.complete())
    return fail("the uninstall did not complete: " + std::to_string(report.leftBehind.size()) +
                " left behind, " + std::to_string(report.refused.size()) + " refused");
  std::cout << text(Text::UninstallComplete, kEnglish) << '\n';
  return 0;
}

}  // namespace zorv
