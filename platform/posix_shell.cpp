// Special folders, shell links and message boxes of the POSIX platform.
#include "platform/posix_platform.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/shell_link.h"

namespace zorv {

namespace {

// What the shell reads from an existing target into the link's header; a missing target
// leaves every field zero. Linux keeps no creation time in stat, so the write time stands in.
void describeTarget(const std::string& path, ShellLinkFields& fields) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return;
  fields.fileAttributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
  fields.fileSize = S_ISDIR(st.st_mode) ? 0 : std::uint32_t(st.st_size);
  fields.writeTime = fileTimeFromUnix(st.st_mtim.tv_sec, std::uint32_t(st.st_mtim.tv_nsec));
  fields.accessTime = fileTimeFromUnix(st.st_atim.tv_sec, std::uint32_t(st.st_atim.tv_nsec));
  fields.creationTime = fields.writeTime;
}

bool writeNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += std::size_t(n);
  }
  return close(fd) == 0 && done == bytes.size();
}

}  // namespace

// The system's special folders always exist; these are made on first use. This host has one
// Programs and one Desktop folder, the user's and all users' alike; the folders that only the
// setup's page proposes from are not here.
std::optional<std::string> PosixPlatform::specialFolder(SpecialFolder folder) {
  const std::string* path = nullptr;
  switch (folder) {
    case SpecialFolder::Programs:
    case SpecialFolder::CommonPrograms: path = &options_.programsFolder; break;
    case SpecialFolder::DesktopDirectory:
    case SpecialFolder::CommonDesktopDirectory: path = &options_.desktopFolder; break;
    case SpecialFolder::AppData: path = &options_.appDataFolder; break;
    case SpecialFolder::LocalAppData:
    case SpecialFolder::ProgramFiles: break;
  }
  if (!path || path->empty() || !createDirectories(*path)) return std::nullopt;
  return engineText(*path);
}

bool PosixPlatform::beginLinks(std::string_view workingDirectory) {
  linkWorkingDirectory_ = std::string(workingDirectory);
  return true;
}

// The link names its target and working directory in Windows form (windowsPathForLink): a
// POSIX path "/opt/demo/run" is written "Z:\opt\demo\run", as Wine sees it. Its texts stay in
// the engine's code page, which the link widens to UTF-16 as the system would.
bool PosixPlatform::saveLink(std::string_view linkPath, std::string_view target,
                             std::string_view description) {
  if (!linkWorkingDirectory_) return false;
  ShellLinkFields fields;
  fields.target = windowsPathForLink(target);
  fields.description = std::string(description);
  fields.workingDirectory = windowsPathForLink(*linkWorkingDirectory_);
  if (options_.codePage) fields.codePage = options_.codePage;
  describeTarget(hostPath(target), fields);
  std::vector<std::uint8_t> bytes = makeShellLink(fields);
  return !bytes.empty() && writeNewFile(hostPath(linkPath), bytes);
}

void PosixPlatform::endLinks() { linkWorkingDirectory_.reset(); }

// Caption and text carry package texts (the application name, key and folder names). The
// setup's own texts break their lines with '\n', so the text keeps its line feeds and each line
// goes through terminalText.
void PosixPlatform::messageBox(std::string_view ansiText, std::string_view caption) {
  const std::string out = terminalMessage(hostText(caption), hostText(ansiText));
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace zorv
