// The tool's system on POSIX systems: the POSIX platform, with its registry file and special
// folders from the command line or zorv's data folder, every path made absolute so that the
// uninstall finds the paths that the install wrote byte for byte.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/posix_platform.h"
#include "tools/host/host_system.h"
#include "tools/host/text_code_page.h"

namespace zorv {

namespace {

class PosixHost final : public HostSystem {
 public:
  explicit PosixHost(PosixPlatformOptions options) : platform_(std::move(options)) {}
  const Platform& platform() override { return parts_; }
  RemovePlatform& remover() override { return platform_; }
  const std::string& error() const override { return platform_.registryError(); }
  std::string programsFolder() override { return platform_.options().programsFolder; }
  std::string desktopFolder() override { return platform_.options().desktopFolder; }
  std::expected<void, std::string> prepareInstall() override {
    const PosixPlatformOptions& o = platform_.options();
    for (const std::string& dir : {o.programsFolder, o.desktopFolder})
      if (!createDirectories(dir)) return std::unexpected("cannot create " + dir);
    // A registry file that cannot be written is reported by the run's first key.
    if (auto parent = std::filesystem::path(o.registryFile).parent_path(); !parent.empty())
      createDirectories(parent.string());
    return {};
  }
  void confineBelow(std::string_view root) override { platform_.confineBelow(root); }
  const std::string& refusedLink() const override { return platform_.refusedLink(); }
  void confineRemovalTo(std::vector<std::string> roots) override {
    platform_.confineRemovalTo(std::move(roots));
  }
  int useCodePage(int codePage) override {
    platform_.setCodePage(codePage);
    return codePage;
  }
  std::string hostText(std::string_view text) const override { return platform_.hostText(text); }
  std::optional<std::string> engineText(std::string_view text) const override {
    return platform_.engineText(text);
  }
  bool noteLogCodePage(const std::string& log) override {
    const int codePage = platform_.options().codePage;
    if (!codePage) return true;
    const int fd = open(log.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    const std::string line = codePageLogLine(codePage);
    const bool written = write(fd, line.data(), line.size()) == ssize_t(line.size());
    return close(fd) == 0 && written;
  }

 private:
  PosixPlatform platform_;
  const Platform parts_ = platformOf(platform_);
};

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

// The dynamic loader does not search the current folder: nothing to restrict.
void restrictLibrarySearch() {}

std::unique_ptr<HostSystem> openHostSystem(const PlatformPaths& paths) {
  PosixPlatformOptions options = defaultPosixPlatformOptions();
  if (!paths.registryFile.empty()) options.registryFile = absolutePath(paths.registryFile);
  if (!paths.programsDir.empty()) options.programsFolder = absolutePath(paths.programsDir);
  if (!paths.desktopDir.empty()) options.desktopFolder = absolutePath(paths.desktopDir);
  return std::make_unique<PosixHost>(std::move(options));
}

// The registry is never touched: its file is kept out of the user's data folder all the same.
std::unique_ptr<HostSystem> openFilesOnlySystem() {
  PosixPlatformOptions options;
  options.registryFile = "/dev/null/unused.reg";
  return std::make_unique<PosixHost>(std::move(options));
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : withoutTrailingSlashes(p.lexically_normal().string());
}

std::string parentFolder(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string pathIn(const std::string& folder, std::string_view name) {
  return folder + (folder.ends_with('/') ? "" : "/") + std::string(name);
}

bool sameFolder(std::string_view a, std::string_view b) {
  return withoutTrailingSlashes(std::string(a)) == withoutTrailingSlashes(std::string(b));
}

std::string hostPath(std::string_view path) { return posixPath(path); }

std::string commandLineText(const std::string& text) { return text; }

std::string shownPath(std::string_view item) {
  return terminalText(item.starts_with('/') ? posixPath(item) : item);
}

bool createFolders(const std::string& folder) { return createDirectories(folder); }

bool stdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

}  // namespace zorv
