// The reader's memory on hostile headers, measured by the process's peak resident size (POSIX).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "package/byte_writer.h"
#include "package/package.h"

namespace zorv {
namespace {

// Garbage whose header claims as many entries as its size could hold: the open must fail on the
// directory without ever filling in per-entry state for millions of entries.
TEST(OpenPackage, GarbageWithAHugeEntryCountStaysSmall) {
  std::vector<std::uint8_t> b(4u << 20);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t((i * 7) ^ (i >> 5));
  for (std::size_t at : {0u, 4u, 8u, 12u}) storeLE32(&b[at], 0);
  storeLE32(&b[kHeaderDataBaseOffset], 0);
  storeLE32(&b[kHeaderDirectoryOffset], kHeaderSize);
  const std::uint32_t packed = std::uint32_t(b.size() - kHeaderSize);
  storeLE32(&b[kHeaderDirectoryPackedOffset], packed);
  storeLE32(&b[kHeaderEntryCountOffset], kMaxEntryCount);
  auto peakKb = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return long(u.ru_maxrss);
  };
  const long before = peakKb();
  std::string why;
  EXPECT_FALSE(openPackage(b, &why));
  EXPECT_EQ(why, "directory is damaged");
  // The unpacked directory's buffer is reserved but never filled in (a sanitizer's shadow of it
  // costs about 5.5 bytes an entry); per-entry state would cost 16 bytes an entry, all touched.
  EXPECT_LT(peakKb() - before, long(kMaxEntryCount / 1024 * 8)) << "kB of peak growth";
}

}  // namespace
}  // namespace zorv
