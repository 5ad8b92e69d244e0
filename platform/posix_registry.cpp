// The registry of the POSIX platform: a RegistryStore in memory, kept in a REGEDIT4 file. Under
// a code page the store, and so the file, holds UTF-8.
#include "platform/posix_platform.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace zorv {

namespace {

// The whole file, or nullopt with the reason; a missing file reads as nothing at all.
std::optional<std::string> readWholeFile(const std::string& path, bool* missing, std::string* why) {
  *missing = false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *missing = errno == ENOENT;
    *why = std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *why = std::strerror(errno);
    if (n <= 0) break;
    text.append(buffer, std::size_t(n));
  }
  close(fd);
  if (!why->empty()) return std::nullopt;
  return text;
}

bool writeWholeFile(const std::string& path, std::string_view text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && !text.empty()) {
    ssize_t n = write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) text.remove_prefix(std::size_t(n));
  }
  return close(fd) == 0 && ok;
}

}  // namespace

void PosixPlatform::loadRegistry() {
  const std::string& path = options_.registryFile;
  if (path.empty()) return;  // a registry in memory only
  bool missing = false;
  std::string why;
  std::optional<std::string> text = readWholeFile(path, &missing, &why);
  if (!text) {
    if (!missing) registryError_ = path + ": " + why;
    return;
  }
  std::optional<RegFile> file = parseRegedit4(*text, &why);
  if (!file || !registry_.apply(*file, &why)) {
    registry_ = RegistryStore();
    registryError_ = path + ": " + why;
  }
}

// The file is written anew beside the old one and renamed over it, so that a reader, or a
// crash in the middle, sees either the old registry or the new one whole.
bool PosixPlatform::saveRegistry() {
  const std::string& path = options_.registryFile;
  if (path.empty()) return true;
  std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !createDirectories(path.substr(0, slash)))
    return false;
  std::string temporary = path + ".tmp" + std::to_string(getpid());
  if (!writeWholeFile(temporary, formatRegedit4(registry_.toFile())) ||
      rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> PosixPlatform::readString(RegRoot root, std::string_view key,
                                                     std::string_view value) {
  const RegistryStore::Key* k = registry_.findKey(root, hostText(key));
  const RegValue* v = k ? RegistryStore::findValue(*k, hostText(value)) : nullptr;
  if (!v || v->kind != RegValue::Kind::String) return std::nullopt;
  return engineText(v->data);
}

// A key that could not be saved is refused, even though the store now holds it: the next
// save that works writes it with everything else.
KeyHandle PosixPlatform::createKey(RegRoot root, std::string_view key) {
  if (!registryError_.empty()) return kNoKey;
  bool created = false;
  RegistryStore::Key* k = registry_.createKey(root, hostText(key), &created);
  if (!k || (created && !saveRegistry())) return kNoKey;
  KeyHandle handle = nextKey_++;
  openKeys_[handle] = k;
  return handle;
}

// A string value ends at its first NUL, as a REG_SZ read back does.
bool PosixPlatform::setString(KeyHandle key, std::string_view value, std::string_view data) {
  auto it = openKeys_.find(key);
  if (it == openKeys_.end()) return false;
  RegistryStore::setString(*it->second, hostText(value), hostText(data.substr(0, data.find('\0'))));
  return saveRegistry();
}

bool PosixPlatform::setDword(KeyHandle key, std::string_view value, std::uint32_t data) {
  auto it = openKeys_.find(key);
  if (it == openKeys_.end()) return false;
  RegistryStore::setRaw(*it->second, hostText(value), dwordText(data));
  return saveRegistry();
}

void PosixPlatform::closeKey(KeyHandle key) { openKeys_.erase(key); }

}  // namespace zorv
