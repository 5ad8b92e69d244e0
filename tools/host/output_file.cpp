// The temporary neighbour of an output: its name and the retries; the output written through it.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
#include <vector>

#include "tools/host/output_file.h"

namespace zorv {

namespace {

// Enough tries that names taken by chance never stop a build, few enough that a folder where
// every create fails the same way gives up at once.
constexpr int kAttempts = 100;
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

}  // namespace

std::optional<TemporaryFile> createTemporaryBeside(const std::string& out, std::string* why) {
  // The name starts after the last separator of either system, or a drive's colon. Where one
  // of these is an ordinary character (a '\' on POSIX systems), cutting there changes only
  // where the dot goes inside the name: the file stays in the output's folder.
  const std::size_t cut = out.find_last_of("/\\:") + 1;  // 0 when there is none
  const std::string stem = out.substr(0, cut) + "." + out.substr(cut) + ".";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    TemporaryFile t;
    t.path = stem;
    for (int i = 0; i < 6; ++i) t.path += kLetters[pick(random)];
    switch (createNewFile(t.path, &t.file, why)) {
      case NewFile::Created:
        return t;
      case NewFile::NameTaken:
        continue;
      case NewFile::Failed:
        return std::nullopt;
    }
  }
  *why = "cannot create a temporary file " + stem + "XXXXXX: every name tried was taken";
  return std::nullopt;
}

namespace {

// Copies the whole of `from` into the device or pipe at `path`.
bool copyInto(std::FILE* from, const std::string& path, std::string* why) {
  std::FILE* to = std::fopen(path.c_str(), "wb");
  if (!to || std::fseek(from, 0, SEEK_SET) != 0) {
    *why = "cannot write " + path + ": " + std::strerror(errno);
    if (to) std::fclose(to);
    return false;
  }
  std::vector<char> piece(std::size_t(1) << 20);
  bool ok = true;
  while (ok) {
    const std::size_t n = std::fread(piece.data(), 1, piece.size(), from);
    if (n == 0) break;
    ok = std::fwrite(piece.data(), 1, n, to) == n;
  }
  ok = ok && !std::ferror(from) && std::fflush(to) == 0;
  const int error = errno;
  if (std::fclose(to) != 0) ok = false;
  if (!ok) *why = "cannot write " + path + ": " + std::strerror(error);
  return ok;
}

}  // namespace

bool writeOutput(
    const std::string& path, const std::function<bool(std::FILE*)>& write, std::string* why,
    const std::function<bool(const std::string& finished, std::string* why)>& finish) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  const bool inPlace = std::filesystem::exists(st) && !std::filesystem::is_regular_file(st);
  std::optional<TemporaryFile> temporary;
  if (inPlace) {
    temporary = TemporaryFile{std::tmpfile(), ""};
    if (!temporary->file) {
      *why = std::string("cannot write a temporary file: ") + std::strerror(errno);
      return false;
    }
  } else {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    if (!(temporary = createTemporaryBeside(path, why))) return false;
  }
  bool ok = write(temporary->file);
  if (ok && inPlace) ok = copyInto(temporary->file, path, why);
  if (std::fclose(temporary->file) != 0 && ok) {
    *why = "cannot write " + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!inPlace) {
    ok = ok && (!finish || finish(temporary->path, why));
    ok = ok && replaceFile(temporary->path, path, why);
    if (!ok) removeFile(temporary->path);
  }
  return ok;
}

}  // namespace zorv
