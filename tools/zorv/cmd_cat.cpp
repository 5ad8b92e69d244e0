// zorv cat FILE --entry N | --range OFFSET:UNPACKED:PACKED: unpacked bytes to standard output.
#include <charconv>
#include <cstdio>
#include <string>

#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

namespace {

bool parseU32(std::string_view s, std::uint32_t& v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

bool parseRange(std::string_view s, PackedRange& r) {
  auto a = s.find(':');
  auto b = a == s.npos ? s.npos : s.find(':', a + 1);
  if (b == s.npos) return false;
  return parseU32(s.substr(0, a), r.offset) && parseU32(s.substr(a + 1, b - a - 1), r.unpacked) &&
         parseU32(s.substr(b + 1), r.packed);
}

int writeOut(std::span<const std::uint8_t> bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return fail("cannot write to standard output");
  return std::fflush(stdout) == 0 ? 0 : fail("cannot write to standard output");
}

}  // namespace

int cmdCat(Args args) {
  constexpr const char* kUsage = "usage: zorv cat FILE --entry N | --range OFFSET:UNPACKED:PACKED";
  std::string path;
  std::string_view entryArg, rangeArg;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--entry" && i + 1 < args.size()) entryArg = args[++i];
    else if (args[i] == "--range" && i + 1 < args.size()) rangeArg = args[++i];
    else if (path.empty() && !args[i].starts_with("-")) path = args[i];
    else return fail(kUsage);
  }
  if (path.empty() || entryArg.empty() == rangeArg.empty()) return fail(kUsage);

  std::uint32_t n = 0;
  PackedRange r;
  if (!entryArg.empty() && !parseU32(entryArg, n)) return fail("bad entry number: " + std::string(entryArg));
  if (!rangeArg.empty() && !parseRange(rangeArg, r))
    return fail("bad range \"" + std::string(rangeArg) + "\": expected OFFSET:UNPACKED:PACKED");

  std::string why;
  auto lp = loadPackageFile(path, &why);
  if (!lp) return fail(why);
  Package& p = *lp->package;
  if (!entryArg.empty()) {
    if (n >= p.entryCount())
      return fail("cannot read entry " + std::to_string(n) + ": the package has " +
                  std::to_string(p.entryCount()) + " entries");
    auto body = p.acquireEntry(std::int32_t(n));
    if (!body) return fail("cannot read entry " + std::to_string(n) + ": " + p.lastError());
    int rc = writeOut(*body);
    p.releaseEntry(std::int32_t(n));
    return rc;
  }
  auto buf = p.readRange(r);
  if (!buf) return fail("cannot read range " + std::string(rangeArg) + ": " + p.lastError());
  return writeOut(buf->bytes());
}

}  // namespace zorv
