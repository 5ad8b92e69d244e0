#include "wizard/disk_space.h"

#include "wizard/paths.h"

namespace zorv {

// Done by hand rather than with the C library's formatting, which would weigh more than the
// rest of the page in a static build.
std::string formatKilobytes(std::uint32_t kilobytes) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = char('0' + kilobytes % 10);
    kilobytes /= 10;
  } while (kilobytes != 0);
  std::string text(n < 8 ? std::size_t(8 - n) : 0, ' ');
  while (n > 0) text += digits[--n];
  text += "kb";
  return text;
}

std::uint32_t freeKilobytes(std::uint64_t freeBytes) {
  std::uint64_t kb = freeBytes / 1024;
  return kb > kMaxKilobytes ? kMaxKilobytes : static_cast<std::uint32_t>(kb);
}

std::uint32_t neededKilobytes(std::uint32_t requiredBytes) { return requiredBytes >> 10; }

std::optional<std::uint64_t> queryFreeBytes(std::string_view folder, Folders& folders) {
  std::string current(folder);
  for (;;) {
    if (auto bytes = folders.freeBytes(current)) return bytes;
    auto parent = parentFolder(current);
    if (!parent) return std::nullopt;
    current = std::move(*parent);
  }
}

DiskSpaceView diskSpaceView(std::optional<std::uint64_t> freeBytes, std::uint32_t requiredBytes) {
  DiskSpaceView view;
  std::uint32_t need = neededKilobytes(requiredBytes);
  view.needText = formatKilobytes(need);
  if (freeBytes) {
    std::uint32_t free = freeKilobytes(*freeBytes);
    view.freeText = formatKilobytes(free);
    view.showNext = free >= need;
  }
  return view;
}

}  // namespace zorv
