#include "tools/examine/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "install/directory_walk.h"
#include "install/package_walk.h"
#include "install/records.h"
#include "package/held_entry.h"
#include "package/unpack.h"
#include "tools/builder/build.h"

namespace zorv {

std::optional<Buffer> unpackRange(std::span<const std::uint8_t> bytes, std::uint32_t dataBase,
                                  PackedRange range) {
  if (bytes.data() == nullptr || bytes.size() > 0xFFFFFFFFu) return std::nullopt;
  const std::uint64_t start = std::uint64_t(dataBase) + range.offset;
  if (start > bytes.size() || range.packed > bytes.size() - start) return std::nullopt;
  if (!range.isStored() && !plausibleUnpackedSize(range.packed, range.unpacked))
    return std::nullopt;
  // Never a null pointer, even for 0 bytes, as the reader allocates.
  Buffer out{std::unique_ptr<std::uint8_t[]>(
                 new (std::nothrow) std::uint8_t[range.unpacked == 0 ? 1 : range.unpacked]),
             range.unpacked};
  if (!out.data) return std::nullopt;
  const std::span<const std::uint8_t> packed = bytes.subspan(std::size_t(start), range.packed);
  if (range.isStored()) {
    if (!packed.empty()) std::memcpy(out.data.get(), packed.data(), packed.size());
    return out;
  }
  if (!unpack(packed, {out.data.get(), out.size})) return std::nullopt;
  return out;
}

// Lists each file's blocks as the run meets the file; stops the walk once the read-ahead stops.
struct ReadAhead::Lister {
  ReadAhead& ahead;
  std::uint64_t files = 0;
  bool folder(const DirectoryRecord&, int) { return !ahead.stopping(); }
  bool file(const CopyRecord& file) {
    ++files;
    for (std::uint32_t b = 0; b < file.blocks.size(); ++b)
      if (!ahead.expect(file.blocks[b].range, files)) return false;
    return !ahead.stopping();
  }
};

ReadAhead::ReadAhead(const Package& package, std::span<const std::uint8_t> bytes, unsigned jobs)
    : bytes_(bytes),
      dataBase_(package.header().dataBase),
      window_(std::size_t(std::max(jobs, 1u)) * kBlocksPerJob),
      listedAhead_(2 * window_) {
  try {
    lister_ = std::thread([this] { list(); });
    for (unsigned i = 0; i < std::max(jobs, 1u); ++i) workers_.emplace_back([this] { work(); });
  } catch (...) {
    stop();  // no threads to be had: every read goes to the package
  }
}

ReadAhead::~ReadAhead() { stop(); }

void ReadAhead::stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (lister_.joinable()) lister_.join();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

// The walk of extractFiles and extractDirectories (install/extract.cpp), which `zorv extract`
// makes too, over a reader of its own: the run's package and its stream are never touched from
// here. The walk goes on past an entry that fails, as `zorv extract` does; a run that stops
// there takes no more blocks.
void ReadAhead::list() {
  try {
    if (const std::unique_ptr<Package> own = openPackage(bytes_)) {
      Package& package = *own;
      PackageWalk walk;
      Lister lister{*this};
      forEachEntry(package, kTagCopy, 0, -1,
                   [&](std::int32_t i) {
                     const HeldEntry held(package, i);
                     std::optional<CopyRecord> file;
                     if (held.body() && enterEntry(package, i, walk))
                       file = parseCopyRecord(*held.body());
                     return file ? lister.file(*file) : !stopping();
                   }) &&
          forEachEntry(package, kTagCopyDir, 0, -1, [&](std::int32_t i) {
            const HeldEntry held(package, i);
            std::optional<DirectoryRecord> dir;
            if (held.body() && enterEntry(package, i, walk))
              dir = parseDirectoryRecord(*held.body());
            if (dir) walkMembers(package, *dir, 1, walk, lister);
            return !stopping();
          });
    }
  } catch (...) {
    // Out of memory for a hostile record: the listing ends there, the run reads the rest.
  }
  {
    std::lock_guard lock(mutex_);
    listed_ = true;
  }
  changed_.notify_all();
}

bool ReadAhead::stopping() {
  std::lock_guard lock(mutex_);
  return stop_;
}

bool ReadAhead::expect(PackedRange range, std::uint64_t file) {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || slots_.size() < listedAhead_; });
    if (stop_) return false;
    slots_.push_back({range, file, std::nullopt, false});
  }
  changed_.notify_all();
  return true;
}

void ReadAhead::work() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] {
      return stop_ || claimable() || (listed_ && next_ == first_ + slots_.size());
    });
    if (stop_ || !claimable()) return;
    const std::uint64_t number = next_++;
    const PackedRange range = slots_[std::size_t(number - first_)].range;
    peak_ = std::max(peak_, ++held_);
    lock.unlock();
    std::optional<Buffer> block;
    if (range.unpacked <= kBlockSize) block = unpackRange(bytes_, dataBase_, range);
    lock.lock();
    if (number >= first_) {
      Slot& slot = slots_[std::size_t(number - first_)];
      slot.block = std::move(block);
      slot.done = true;
    } else {
      --held_;  // dropped while it was unpacked
    }
    changed_.notify_all();
  }
}

// Drops the first n slots; a block being unpacked for one of them is dropped by its worker.
void ReadAhead::drop(std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (slots_.front().done) --held_;
    slots_.pop_front();
    ++first_;
  }
  next_ = std::max(next_, first_);
}

// The index of the first slot of `range`; slots_.size() when there is none.
std::size_t ReadAhead::find(PackedRange range) const {
  const auto at = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) {
    return s.range.offset == range.offset && s.range.unpacked == range.unpacked &&
           s.range.packed == range.packed;
  });
  return std::size_t(at - slots_.begin());
}

// The listed block of `range`, after those listed before it, which the run skipped; none when
// it is not among the ranges listed or did not unpack. A run that asks for another block than
// the next has left that file (it stopped at a failure, as `zorv extract` goes on after one),
// so the rest of the file is dropped then, and the listing goes on to the files the run reads.
std::optional<Buffer> ReadAhead::take(PackedRange range) {
  std::optional<Buffer> block;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || listed_ || !slots_.empty(); });
    if (stop_) return std::nullopt;
    std::size_t at = find(range);
    if (at == slots_.size()) {
      std::size_t left = 0;
      while (left < slots_.size() && slots_[left].file == slots_.front().file) ++left;
      drop(left);
      changed_.notify_all();
      return std::nullopt;
    }
    drop(at);
    changed_.wait(lock, [this] { return slots_.front().done; });
    block = std::move(slots_.front().block);
    drop(1);
  }
  changed_.notify_all();
  return block;
}

std::optional<Buffer> ReadAhead::read(Package& package, PackedRange range) {
  std::optional<Buffer> block = take(range);
  // After a read past its end the package's stream fails every read, with its own reason.
  if (block && !package.streamFailed()) {
    ++served_;
    return block;
  }
  return package.readRange(range);
}

std::size_t ReadAhead::peakHeld() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

std::unique_ptr<ReadAhead> startReadAhead(const Package& package,
                                          std::span<const std::uint8_t> bytes, unsigned jobs) {
  if (jobs == 0) jobs = defaultThreadCount();
  if (jobs <= 1) return nullptr;
  return std::make_unique<ReadAhead>(package, bytes, jobs);
}

}  // namespace zorv
