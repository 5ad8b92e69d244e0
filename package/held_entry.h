// An entry body held for one use and given back when the holder goes out of scope.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "package/package.h"

namespace zorv {

class HeldEntry {
 public:
  // A record tag never names an inline value, so an inline entry counts as unreadable.
  HeldEntry(Package& package, std::int32_t i) : package_(package), index_(i) {
    if (!package.entry(i).isInline()) body_ = package.acquireEntry(i);
  }
  ~HeldEntry() {
    if (body_) package_.releaseEntry(index_);
  }
  HeldEntry(const HeldEntry&) = delete;
  HeldEntry& operator=(const HeldEntry&) = delete;

  // None when the body could not be fetched.
  const std::optional<std::span<const std::uint8_t>>& body() const { return body_; }

 private:
  Package& package_;
  std::int32_t index_;
  std::optional<std::span<const std::uint8_t>> body_;
};

// Calls f(i) for every entry of `tag` in [from, to) in directory order; a negative `to` means
// the end. Stops early, returning false, when f returns false.
template <typename F>
bool forEachEntry(const Package& package, std::uint32_t tag, std::int32_t from, std::int32_t to,
                  F&& f) {
  for (std::int32_t i = package.findByTag(tag, from, to); i >= 0;
       i = package.findByTag(tag, i + 1, to))
    if (!f(i)) return false;
  return true;
}

inline std::uint32_t countEntries(const Package& package, std::uint32_t tag, std::int32_t from,
                                  std::int32_t to) {
  std::uint32_t n = 0;
  forEachEntry(package, tag, from, to, [&](std::int32_t) { return ++n, true; });
  return n;
}

}  // namespace zorv
