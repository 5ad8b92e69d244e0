// Checks a package the way the setup will use it: every entry body and every range reachable
// from the directory unpacked (a zlib stream must unpack to exactly its stated size and pass its
// Adler-32 check), every record read by the setup's own parser and every folder by its own walk
// (install/records.h, install/directory_walk.h) and held against the setup's limits, "SumC"
// against the sum of all data blocks. Problems make the package unfit: a record the setup cannot
// read is one. Warnings point at things the setup will ignore or treat in a way the builder
// never asks for, such as bytes of a record that its parser passes over, or stored bodies,
// whose damage nothing could notice.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "install/package_limits.h"

namespace zorv {

struct VerifyReport {
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
  std::size_t entries = 0;
  std::size_t emptySlots = 0;
  std::size_t files = 0;    // "Copy" records, nested ones included
  std::size_t folders = 0;  // "CopD" records, nested ones included
  std::size_t blocks = 0;
  std::uint64_t bytes = 0;  // unpacked bytes of every data block, as their ranges state them
  std::size_t links = 0;
  std::size_t values = 0;
  std::size_t bitmaps = 0;
  std::size_t stored = 0;  // bodies and ranges of one byte or more kept as they are, unchecked
  bool ok() const { return problems.empty(); }
  // "OK: 58 entries, ..." or the problems, one a line.
  std::string summary() const;
};

// `walkBudget` is the number of "Copy" and "CopD" records, top-level entries and members
// together, that the setup's walk of the whole package may visit; tests lower it.
VerifyReport verifyPackage(std::span<const std::uint8_t> package,
                           std::uint32_t walkBudget = kMaxRecordsVisited);

}  // namespace zorv
