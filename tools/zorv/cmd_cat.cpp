// zorv cat FILE --entry N | --range OFFSET:UNPACKED:PACKED: unpacked bytes to standard output.
#include <cstdio>
#include <string>

#include "tools/zorv/commands.h"
#include "tools/examine/package_file.h"

namespace zorv {

namespace {

int writeOut(std::span<const std::uint8_t> bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return fail("cannot write to standard output");
  return std::fflush(stdout) == 0 ? 0 : fail("cannot write to standard output");
}

}  // namespace

int cmdCat(const CatArgs& args) {
  auto lp = loadPackageFile(args.file);
  if (!lp) return fail(lp.error());
  Package& p = *lp->package;
  if (args.entry) {
    const std::uint32_t n = *args.entry;
    if (n >= p.entryCount())
      return fail("cannot read entry " + std::to_string(n) + ": the package has " +
                  std::to_string(p.entryCount()) + " entries");
    auto body = p.acquireEntry(std::int32_t(n));
    if (!body) return fail("cannot read entry " + std::to_string(n) + ": " + p.lastError());
    int rc = writeOut(*body);
    p.releaseEntry(std::int32_t(n));
    return rc;
  }
  auto buf = p.readRange(*args.range);
  if (!buf) return fail("cannot read range " + args.rangeText + ": " + p.lastError());
  return writeOut(buf->bytes());
}

}  // namespace zorv
