// The blocks of a package's files unpacked ahead on worker threads, in the order an install or
// extract run asks for them, for `zorv install -j N` and `zorv extract -j N`.
//
// A lister thread walks the package as the run does (the "Copy" entries in order, then each
// "CopD" depth first, one walk budget) over a reader of its own, and lists every file's block
// ranges, a few files ahead of the run; the workers unpack them in that order from the
// package's bytes, never more than window() blocks ahead. read() hands out a listed block that
// unpacked; anything else, a block that failed or one the listing did not expect, is read by
// the run's own package on the caller's thread, so every result, message and the state of its
// stream are what a run without read-ahead gives.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "install/block_reader.h"
#include "package/package.h"

namespace zorv {

// What Package::readRange gives for `range` in the package of `bytes` whose data base is
// `dataBase`, without a Package: the same bounds, plausibility, a stored range copied as it
// lies, anything else unpacked. None wherever readRange fails (and only it says why).
std::optional<Buffer> unpackRange(std::span<const std::uint8_t> bytes, std::uint32_t dataBase,
                                  PackedRange range);

class ReadAhead final : public BlockReader {
 public:
  // Blocks held per worker: enough to keep each busy while the run writes, few enough that
  // memory stays at about 2 MB per job. Larger blocks than kBlockSize are never read ahead.
  static constexpr std::size_t kBlocksPerJob = 4;
  // Over `bytes`, the bytes `package` was opened on, which outlive this; with `jobs` workers
  // (at least one).
  ReadAhead(const Package& package, std::span<const std::uint8_t> bytes, unsigned jobs);
  // Stops the threads and joins them: a worker first finishes the block it unpacks, the
  // lister the record it reads.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  std::optional<Buffer> read(Package& package, PackedRange range) override;

  // The most blocks held at once, unpacked or being unpacked; never more than window().
  std::size_t peakHeld() const;
  std::size_t window() const { return window_; }
  // How many reads the workers' blocks answered (the rest went to the package).
  std::size_t served() const { return served_; }

 private:
  struct Slot {
    PackedRange range;
    std::uint64_t file = 0;  // the number of its file in the listing
    std::optional<Buffer> block;
    bool done = false;  // unpacked, or failed with no block
  };
  struct Lister;

  void list();
  bool expect(PackedRange range, std::uint64_t file);  // false once stopping
  bool stopping();
  void work();
  bool claimable() const { return next_ < first_ + slots_.size() && held_ < window_; }
  std::optional<Buffer> take(PackedRange range);
  std::size_t find(PackedRange range) const;
  void drop(std::size_t n);
  void stop();

  const std::span<const std::uint8_t> bytes_;
  const std::uint32_t dataBase_;
  const std::size_t window_;
  // Ranges listed ahead of the run: twice the window, so that the workers never wait for the
  // lister, and few, since each record the lister reads maps its pages, which only the run
  // hands back (MappedFile::dropPages).
  const std::size_t listedAhead_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Slot> slots_;   // listed and not yet taken, in the run's order
  std::uint64_t first_ = 0;  // the number of slots_.front() in the listing
  std::uint64_t next_ = 0;   // the number of the next slot a worker takes
  std::size_t held_ = 0;     // blocks unpacked or being unpacked, not yet taken or dropped
  std::size_t peak_ = 0;
  std::size_t served_ = 0;  // the caller's own
  bool listed_ = false;     // the lister has listed all it will
  bool stop_ = false;
  std::thread lister_;
  std::vector<std::thread> workers_;
};

// The read-ahead of a run with `jobs` threads (0: one per processor); none for one thread, and
// the run reads its blocks itself, as the setup does.
std::unique_ptr<ReadAhead> startReadAhead(const Package& package,
                                          std::span<const std::uint8_t> bytes, unsigned jobs);

}  // namespace zorv
