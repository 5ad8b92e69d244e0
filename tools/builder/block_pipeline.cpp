#include "tools/builder/block_pipeline.h"

#include <exception>
#include <fstream>

namespace zorv {

namespace {

// The block's body, or why zlib made none, naming the file.
std::expected<PreparedBody, std::string> prepared(const BlockSource& b,
                                                  std::span<const std::uint8_t> data, int level,
                                                  Deflater& deflater) {
  auto body = prepareBody(data, level, deflater);
  if (!body)
    return std::unexpected("compressing \"" + b.file.string() + "\" failed: " + body.error());
  return body;
}

std::expected<PreparedBody, std::string> readAndPrepare(const BlockSource& b, int level,
                                                        Deflater& deflater) {
  if (b.memory) {
    const auto bytes = std::span<const std::uint8_t>(*b.memory).subspan(
        static_cast<std::size_t>(b.offset), b.size);
    return prepared(b, bytes, level, deflater);
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(b.file, ec);
  if (ec || size != b.fileSize)
    return std::unexpected("\"" + b.file.string() + "\" changed while the package was being built");
  std::vector<std::uint8_t> data(b.size);
  std::ifstream in(b.file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(b.offset));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!in || in.gcount() != static_cast<std::streamsize>(data.size()))
    return std::unexpected("cannot read \"" + b.file.string() + "\"");
  return prepared(b, data, level, deflater);
}

}  // namespace

std::expected<PreparedBody, std::string> prepareBlock(const BlockSource& b, int level,
                                                      Deflater& deflater) {
  // The writer's errors are values, but the buffers throw when memory runs out, and nothing may
  // leave a worker thread.
  try {
    return readAndPrepare(b, level, deflater);
  } catch (const std::exception& e) {
    return std::unexpected("compressing \"" + b.file.string() + "\" failed: " + e.what());
  }
}

BlockPipeline::BlockPipeline(std::vector<BlockSource> blocks, unsigned threads, int level)
    : blocks_(std::move(blocks)), level_(level), ready_(blocks_.size()) {
  if (threads <= 1) return;
  // Enough blocks in flight to keep every core busy while the writer appends, few enough
  // that memory stays at a few megabytes per thread.
  window_ = std::size_t(threads) * 4;
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

BlockPipeline::~BlockPipeline() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void BlockPipeline::work() {
  Deflater deflater;
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] {
      return stop_ || handedOut_ == blocks_.size() || handedOut_ < consumed_ + window_;
    });
    if (stop_ || handedOut_ == blocks_.size()) return;
    const std::size_t i = handedOut_++;
    lock.unlock();
    std::expected<PreparedBody, std::string> body = prepareBlock(blocks_[i], level_, deflater);
    lock.lock();
    if (!body) {
      if (error_.empty()) error_ = std::move(body.error());
      stop_ = true;
    } else {
      ready_[i] = std::move(*body);
    }
    changed_.notify_all();
  }
}

std::expected<PreparedBody, std::string> BlockPipeline::next() {
  if (consumed_ >= blocks_.size()) return std::unexpected(std::string("no more blocks"));
  if (workers_.empty()) {
    auto body = prepareBlock(blocks_[consumed_], level_, deflater_);
    if (body) ++consumed_;
    return body;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ready_[consumed_].has_value() || !error_.empty(); });
  if (!ready_[consumed_]) return std::unexpected(error_);
  PreparedBody body = std::move(*ready_[consumed_]);
  ready_[consumed_].reset();
  ++consumed_;
  lock.unlock();
  changed_.notify_all();
  return body;
}

}  // namespace zorv
