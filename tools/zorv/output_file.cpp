// The temporary neighbour of an output: its name and the retries.
#include <random>
#include <string_view>

#include "tools/zorv/output_file.h"

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

}  // namespace zorv
