// An in-memory platform (every part of the seam), RunView and RemovePlatform that records what
// the engine does: a small file system with directories and file contents, a registry, saved
// links, message boxes, started processes and a call log in order. Failures are injected by
// path or key.
//
// Paths are kept as the engine spells them, less trailing separators; both "\" and "/"
// separate, as on Windows. A file or link can be made only in an existing directory.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/remove_platform.h"

namespace zorv {

class FakePlatform : public Process,
                     public Files,
                     public Folders,
                     public Registry,
                     public Shell,
                     public Dialogs,
                     public RunView,
                     public RemovePlatform {
 public:
  struct Link {
    std::string path, target, description, workingDirectory;
  };
  struct Message {
    std::string text, caption;
  };
  struct StartedProcess {
    std::string application, commandLine, currentDirectory;
  };

  FakePlatform();
  // The fake is the engine's whole Platform: runInstall(state, fake, fake).
  operator Platform() { return platformOf(*this); }

  // Set-up and inspection.
  void addDirectory(std::string path);  // with its missing parents
  std::set<std::string> directories;
  std::map<std::string, std::string> files;                            // path -> contents
  std::map<std::string, std::map<std::string, std::string>> registry;  // "HKLM\key" -> values
  std::map<SpecialFolder, std::string> folders;
  std::set<std::string> failCreateDirectory, failOpen, failWrite, failKey;
  std::set<std::string> inUse;  // files held open by another program: neither deleted nor opened
  bool linksAvailable = true;
  SystemTime now{2002, 3, 5, 9, 7, 0};
  std::string cwd = "C:\\Setup";

  std::vector<std::string> calls;  // "showControl 1000 0", "setText 1013 Copy files", ...
  std::vector<Link> links;
  std::vector<Message> messages;
  std::vector<StartedProcess> processes;
  std::map<int, std::string> controlTexts;
  std::map<int, bool> visible;
  bool closed = false;
  // For the uninstaller: links of the system (path -> it points to a folder), paths whose
  // removal fails (in use, read-only), and the protected folders.
  // A path that lies below one of them is reached through a link, and refused.
  // What lies below a link stands for its target's contents: once the link is removed (then
  // in goneLinks) that path reaches none of it.
  std::map<std::string, bool> systemLinks;
  std::set<std::string> goneLinks;
  std::set<std::string> failRemove;
  // Names that a folder's listing gives besides its real children, as a hostile file system
  // might (separators, best-fit renderings with `exact` false): listed, never found.
  std::map<std::string, std::vector<Entry>> strayNames;
  // Short names and the long paths they expand to ("C:\PROG~FBU" -> "C:\Program Files").
  std::map<std::string, std::string> shortNames;
  std::vector<std::string> removalRoots;  // as confineRemovalTo last set them
  std::vector<std::string> protectedList{"C:\\Windows", "C:\\Program Files",  "C:\\Users\\me",
                                         "C:\\Desktop", "C:\\Menu\\Programs", "C:\\AppData"};

  std::string file(const std::string& path) const;  // contents, or "<missing>"
  std::string value(const std::string& key, const std::string& name) const;  // or "<missing>"
  std::size_t openFiles() const { return handles_.size(); }
  bool exists(const std::string& path) const;

  // Process.
  std::optional<std::string> currentDirectory() override { return cwd; }
  bool setCurrentDirectory(std::string_view dir) override;
  bool startProcess(std::string_view application, std::string_view commandLine) override;
  SystemTime utcNow() override { return now; }
  // Files.
  FileHandle openOutputFile(std::string_view path) override;
  FileHandle openAppendFile(std::string_view path) override;
  bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) override;
  void closeFile(FileHandle file) override;
  std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) override;
  void deleteFile(std::string_view path) override;
  bool replaceFile(std::string_view from, std::string_view to) override;
  // Folders.
  bool pathExists(std::string_view path) override { return exists(std::string(path)); }
  bool isFolder(std::string_view path) override;
  bool createDirectory(std::string_view path) override;
  std::optional<std::uint64_t> freeBytes(std::string_view) override { return freeSpace; }
  std::uint64_t freeSpace = 1u << 30;
  // Registry.
  std::optional<std::string> readString(RegRoot root, std::string_view key,
                                        std::string_view value) override;
  KeyHandle createKey(RegRoot root, std::string_view key) override;
  bool setString(KeyHandle key, std::string_view value, std::string_view data) override;
  // Kept as "dword:<decimal>".
  bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) override;
  void closeKey(KeyHandle key) override;
  // Shell.
  std::optional<std::string> specialFolder(SpecialFolder folder) override;
  bool beginLinks(std::string_view workingDirectory) override;
  bool saveLink(std::string_view linkPath, std::string_view target,
                std::string_view description) override;
  void endLinks() override;
  // Dialogs.
  void messageBox(std::string_view text, std::string_view caption) override;
  // Records the question as a message; answers Retry while retries lasts.
  bool askRetry(std::string_view text, std::string_view caption) override;
  int retries = 0;

  // RemovePlatform.
  void confineRemovalTo(std::vector<std::string> roots) override { removalRoots = roots; }
  std::optional<std::string> expandPath(std::string_view path) override;
  std::optional<std::vector<Entry>> listFolder(std::string_view path) override;
  Outcome removeFile(std::string_view path) override;
  Outcome removeFolder(std::string_view path) override;
  Outcome removeKey(RegRoot root, std::string_view key) override;
  std::optional<std::string> readFile(std::string_view path, std::size_t limit) override;
  std::vector<std::string> protectedFolders() override { return protectedList; }

  // RunView.
  void showControl(int id, bool show) override;
  void setControlText(int id, std::string_view text) override;
  void setProgressRange(std::uint32_t high) override;
  void setProgressPos(std::uint32_t pos) override;
  void showStageBitmap(int stage) override;
  void closeSetup() override;

 private:
  std::map<FileHandle, std::string> handles_;
  std::map<KeyHandle, std::string> keys_;
  FileHandle nextFile_ = 3;
  KeyHandle nextKey_ = 1;
  bool throughLink(const std::string& path) const;
  std::string linkDirectory_;
  bool inLinks_ = false;
};

// "HKLM", "HKCR", ...: the prefix of the fake's registry keys.
const char* rootName(RegRoot root);

}  // namespace zorv
