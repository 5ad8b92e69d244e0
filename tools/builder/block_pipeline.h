// Reads the data blocks of the package's files and compresses them on several threads, and
// hands them out strictly in the order they were listed. Each block is compressed on its own
// and libdeflate is deterministic, so the package comes out byte for byte the same whatever the
// number of threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/writer/package_writer.h"

namespace zorv {

// One block: `size` bytes at `offset` of a file that must still be `fileSize` bytes long, or
// of `memory` when the builder made the file's bytes itself.
struct BlockSource {
  std::filesystem::path file;
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
  std::uint64_t fileSize = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> memory;
};

// Reads and prepares one block as a zlib stream made at `level` (prepareBody).
std::expected<PreparedBody, std::string> prepareBlock(const BlockSource& b, int level,
                                                      Deflater& deflater);

class BlockPipeline {
 public:
  // With one thread the blocks are prepared by next() itself, on the caller's thread.
  BlockPipeline(std::vector<BlockSource> blocks, unsigned threads, int level);
  ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  // The next block in list order; after the first failure, its reason.
  std::expected<PreparedBody, std::string> next();

 private:
  void work();

  std::vector<BlockSource> blocks_;
  int level_;
  Deflater deflater_;  // next()'s own, with one thread; each worker has its own
  std::vector<std::optional<PreparedBody>> ready_;
  std::size_t handedOut_ = 0;  // blocks given to workers
  std::size_t consumed_ = 0;   // blocks taken by next()
  std::size_t window_ = 0;     // how far workers may run ahead of next()
  bool stop_ = false;
  std::string error_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> workers_;
};

}  // namespace zorv
