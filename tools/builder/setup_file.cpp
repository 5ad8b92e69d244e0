#include "tools/builder/setup_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "package/byte_writer.h"
#include "tools/builder/executables.h"
#include "tools/pe/pe_checksum.h"
#include "tools/writer/file_seek.h"

namespace zorv {

namespace {

bool writeAt(std::FILE* f, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  return seekTo(f, offset) && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

// The image checksum of the first `size` bytes of `f`, read back a piece at a time.
bool sumFile(std::FILE* f, std::uint64_t size, std::uint32_t* checksum) {
  if (std::fflush(f) != 0 || !seekTo(f, 0)) return false;
  pe::ChecksumSum sum;
  std::vector<std::uint8_t> piece(std::size_t(1) << 20);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
    if (std::fread(piece.data(), 1, want, f) != want) return false;
    sum.add({piece.data(), want});
    left -= want;
  }
  *checksum = sum.finish();
  return true;
}

std::unexpected<std::string> writeFailed() {
  return std::unexpected(std::string("cannot write the setup.exe: ") +
                         std::strerror(errno ? errno : EIO));
}

}  // namespace

std::expected<SetupFileSizes, std::string> writeSetupFile(
    std::FILE* file, const std::vector<std::uint8_t>* stub, const Manifest& manifest,
    const Plan& plan, const BuildOptions& options, std::string_view fileName,
    BuildSummary* summary) {
  SetupFileSizes out;
  if (!stub) {
    auto package = buildPackageInto(file, 0, manifest, plan, options, summary);
    if (!package) return std::unexpected(package.error());
    out.package = out.file = *package;
    return out;
  }
  // Where the package goes does not depend on its size: the head is written now, to be
  // written again with the final sizes.
  auto head = makeSplitSetupExecutable(*stub, manifest, plan, 0, fileName);
  if (!head) return std::unexpected(head.error());
  const std::uint64_t holeAt = head->holeAt;
  if (!writeAt(file, 0, std::span(head->bytes).first(static_cast<std::size_t>(holeAt))))
    return writeFailed();
  auto package = buildPackageInto(file, holeAt, manifest, plan, options, summary);
  if (!package) return std::unexpected(package.error());
  out.package = *package;
  if (out.package > 0xFFFFFFFFu)
    return std::unexpected("the package would pass 4 GB, the most its 32-bit offsets can address");
  auto exe = makeSplitSetupExecutable(*stub, manifest, plan,
                                      static_cast<std::uint32_t>(out.package), fileName);
  if (!exe) return std::unexpected(exe.error());
  if (exe->holeAt != holeAt || exe->holeSize != out.package)
    return std::unexpected("the package's place in the setup.exe moved with its size");
  const std::span<const std::uint8_t> bytes = exe->bytes;
  const auto split = static_cast<std::size_t>(holeAt);
  out.file = bytes.size() + out.package;
  std::uint32_t checksum = 0;
  std::uint8_t field[4];
  if (!writeAt(file, holeAt + out.package, bytes.subspan(split)) ||
      !writeAt(file, 0, bytes.first(split)) || !sumFile(file, out.file, &checksum))
    return writeFailed();
  storeLE32(field, checksum);
  if (!writeAt(file, exe->checksumOffset, field) || !seekTo(file, out.file) ||
      std::fflush(file) != 0)
    return writeFailed();
  return out;
}

}  // namespace zorv
