// Opens arbitrary bytes as a package and drives every operation of the reader. Built as a
// libFuzzer target with clang, and as a plain program that replays seed files under CTest.
#include <cstddef>
#include <cstdint>
#include <span>

#include "package/package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zorv;
  auto p = openPackage(std::span<const std::uint8_t>(data, size));
  if (!p) return 0;
  const std::int32_t n = static_cast<std::int32_t>(p->entryCount() < 4096 ? p->entryCount() : 4096);
  for (std::int32_t i = -1; i <= n; ++i) {
    EntryInfo e = p->entry(i);
    (void)p->findByTag(e.tag, i, i + 3);
    (void)p->findByName(e.name);
    auto a = p->acquireEntry(i);
    auto b = p->acquireEntry(i);
    volatile std::uint8_t sink = 0;
    if (a && !a->empty()) sink = sink + (*a)[a->size() - 1];
    // Treat the entry's own fields, and the first bytes of its body, as ranges.
    if (auto r = p->readRange({e.offset, e.unpacked, e.packed}); r && r->size)
      sink = sink + r->data[r->size - 1];
    if (a && a->size() >= 16) {
      PackedRange r{std::uint32_t((*a)[4]) | std::uint32_t((*a)[5]) << 8,
                    std::uint32_t((*a)[8]) | std::uint32_t((*a)[9]) << 8,
                    std::uint32_t((*a)[12]) | std::uint32_t((*a)[13]) << 8};
      (void)p->readRange(r);
    }
    if (b) p->releaseEntry(i);
    if (a) p->releaseEntry(i);
    p->releaseEntry(i);
  }
  (void)p->acquireByName("title");
  p->releaseByName("title");
  p->closePackage();
  return 0;
}
