#include "tools/builder/block_pipeline.h"

#include <fstream>
#include <stdexcept>

namespace zorv {

namespace {

std::optional<PreparedBody> readAndPrepare(const BlockSource& b, std::string* why) {
  if (b.memory) {
    const auto bytes = std::span<const std::uint8_t>(*b.memory).subspan(
        static_cast<std::size_t>(b.offset), b.size);
    return prepareBody(bytes, 9);
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(b.file, ec);
  if (ec || size != b.fileSize) {
    if (why) *why = "\"" + b.file.string() + "\" changed while the package was being built";
    return std::nullopt;
  }
  std::vector<std::uint8_t> data(b.size);
  std::ifstream in(b.file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(b.offset));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!in || in.gcount() != static_cast<std::streamsize>(data.size())) {
    if (why) *why = "cannot read \"" + b.file.string() + "\"";
    return std::nullopt;
  }
  return prepareBody(data, 9);
}

}  // namespace

std::optional<PreparedBody> prepareBlock(const BlockSource& b, std::string* why) {
  // Memory and the writer's compressor (whose zlib failures are only ever a lack of memory)
  // report by throwing; nothing may leave a worker thread.
  try {
    return readAndPrepare(b, why);
  } catch (const std::exception& e) {
    if (why) *why = "compressing \"" + b.file.string() + "\" failed: " + e.what();
    return std::nullopt;
  }
}

BlockPipeline::BlockPipeline(std::vector<BlockSource> blocks, unsigned threads)
    : blocks_(std::move(blocks)), ready_(blocks_.size()) {
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
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] {
      return stop_ || handedOut_ == blocks_.size() || handedOut_ < consumed_ + window_;
    });
    if (stop_ || handedOut_ == blocks_.size()) return;
    const std::size_t i = handedOut_++;
    lock.unlock();
    std::string why;
    std::optional<PreparedBody> body = prepareBlock(blocks_[i], &why);
    lock.lock();
    if (!body) {
      if (error_.empty()) error_ = why;
      stop_ = true;
    } else {
      ready_[i] = std::move(body);
    }
    changed_.notify_all();
  }
}

std::optional<PreparedBody> BlockPipeline::next(std::string* why) {
  if (consumed_ >= blocks_.size()) {
    if (why) *why = "no more blocks";
    return std::nullopt;
  }
  if (workers_.empty()) {
    auto body = prepareBlock(blocks_[consumed_], why);
    if (body) ++consumed_;
    return body;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ready_[consumed_].has_value() || !error_.empty(); });
  if (!ready_[consumed_]) {
    if (why) *why = error_;
    return std::nullopt;
  }
  std::optional<PreparedBody> body = std::move(ready_[consumed_]);
  ready_[consumed_].reset();
  ++consumed_;
  lock.unlock();
  changed_.notify_all();
  return body;
}

}  // namespace zorv
