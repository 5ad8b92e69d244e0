// zorv uninstall DEST: the uninstaller's engine on the DEST/UnInstall.log that `zorv install`
// wrote, with the same registry, Programs and Desktop folders (host_system.h). It asks first
// unless --yes; a standard input that is no terminal answers no, so a script must say --yes.
// The report goes to standard output, every path through terminalText.
//
// Beyond the engine's own rules, a POSIX system is confined to DEST, the Programs and the
// Desktop folders, named byte for byte: the engine compares paths as Windows does, without
// regard to case, and that file system does not. For the same reason the log's "Work" must be
// DEST exactly there, not merely the same folder to Windows' eyes (sameFolder).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/terminal_text.h"
#include "texts/texts.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/host_system.h"
#include "tools/zorv/package_file.h"
#include "uninstall/uninstall.h"

namespace zorv {

namespace {

// A report item: a path in the system's form, or a key ("HCU Software\...") or log value as
// it is.
std::string shown(const std::string& item) { return shownPath(item); }

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
  const std::string dest = absolutePath(args.dest);

  const std::unique_ptr<HostSystem> host = openHostSystem(args.paths);
  if (!host->error().empty()) return fail("cannot uninstall: " + terminalText(host->error()));
  RemovePlatform& remover = host->remover();
  const std::string programs = host->programsFolder(), desktop = host->desktopFolder();
  host->confineRemovalTo({dest, programs, desktop});

  const std::string logPath = pathIn(dest, "UnInstall.log");
  std::string why;
  const std::optional<UninstallLog> log =
      loadUninstallLog(remover, logPath, remover.protectedFolders(), &why);
  if (!log) return fail("cannot uninstall: " + terminalText(why));
  if (!sameFolder(hostPath(log->work), dest))
    return fail("cannot uninstall: the log belongs to another folder: " + shown(log->work));
  if (!yes && !userAgrees(log->appName)) return 1;

  // The scope of defaultUninstallScope, without making the special folders when missing.
  UninstallScope scope;
  scope.logPath = logPath;
  scope.groupFolders = {programs};
  scope.desktopFolders = {desktop};
  scope.protectedFolders = remover.protectedFolders();
  const UninstallReport report = runUninstall(*log, scope, remover);

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
