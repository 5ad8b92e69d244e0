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

std::expected<TemporaryFile, std::string> createTemporaryBeside(const std::string& out) {
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
    auto file = createNewFile(t.path);
    if (!file) return std::unexpected(std::move(file.error()));
    if (!*file) continue;  // the name is taken
    t.file = *file;
    return t;
  }
  return std::unexpected("cannot create a temporary file " + stem +
                         "XXXXXX: every name tried was taken");
}

namespace {

// Copies the whole of `from` into the device or pipe at `path`.
std::expected<void, std::string> copyInto(std::FILE* from, const std::string& path) {
  std::FILE* to = std::fopen(path.c_str(), "wb");
  if (!to || std::fseek(from, 0, SEEK_SET) != 0) {
    std::string why = "cannot write " + path + ": " + std::strerror(errno);
    if (to) std::fclose(to);
    return std::unexpected(std::move(why));
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
  if (!ok) return std::unexpected("cannot write " + path + ": " + std::strerror(error));
  return {};
}

}  // namespace

std::expected<void, std::string> writeOutput(const std::string& path, const WriteStep& write,
                                             const FinishStep& finish) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  const bool inPlace = std::filesystem::exists(st) && !std::filesystem::is_regular_file(st);
  std::expected<TemporaryFile, std::string> temporary;
  if (inPlace) {
    temporary = TemporaryFile{std::tmpfile(), ""};
    if (!temporary->file)
      return std::unexpected(std::string("cannot write a temporary file: ") + std::strerror(errno));
  } else {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    temporary = createTemporaryBeside(path);
    if (!temporary) return std::unexpected(std::move(temporary.error()));
  }
  std::expected<void, std::string> done = write(temporary->file);
  if (done && inPlace) done = copyInto(temporary->file, path);
  if (std::fclose(temporary->file) != 0 && done)
    done = std::unexpected("cannot write " + path + ": " + std::strerror(errno));
  if (!inPlace) {
    if (done && finish) done = finish(temporary->path);
    if (done) done = replaceFile(temporary->path, path);
    if (!done) removeFile(temporary->path);
  }
  return done;
}

}  // namespace zorv
