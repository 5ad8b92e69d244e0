// The read-ahead of `zorv install -j N` and `zorv extract -j N`: a run with it gives what a run
// without it gives (files, log, calls, messages, the reader's error and stream), also on
// damaged and hostile packages, and it never holds more blocks than its window.
#include "tools/examine/read_ahead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "install/install.h"
#include "tests/fake/fake_platform.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

Bytes textOf(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t("abcdefgh\n"[(i * 7 + seed) % 9] + seed);
  return b;
}

// The record of a file of `size` bytes in blocks of `block`, whose blocks it adds first.
Bytes fileOf(PackageWriter& w, const std::string& name, std::size_t size, std::uint32_t block) {
  return addFileBlocks(w, name, textOf(size, std::uint32_t(size % 97)), block);
}
void file(PackageWriter& w, const std::string& name, std::size_t size, std::uint32_t block = 1000) {
  w.addEntry(kTagCopy, "Copy", fileOf(w, name, size, block));
}
TaggedRange member(PackageWriter& w, const std::string& name, std::size_t size) {
  return {kTagCopy, w.addData(fileOf(w, name, size, 900))};
}

Bytes packageOf(const std::function<void(PackageWriter&)>& add, std::uint32_t dataBase = 0) {
  PackageWriter w("setup.exe", dataBase);
  w.addEntry(kTagAppName, "AppN", nameRecord("Demo"));
  add(w);
  return w.finish().value();
}

// "f" of three good blocks and `extra`, a range no writer makes; then "g" of five.
Bytes withExtraBlock(PackedRange extra) {
  return packageOf([&](PackageWriter& w) {
    std::vector<TaggedRange> blocks;
    for (std::uint32_t i = 0; i < 3; ++i)
      blocks.push_back({kTagBlockMarker, w.addData(textOf(1000, i))});
    blocks.push_back({kTagBlockMarker, extra});
    w.addEntry(kTagCopy, "Copy", copyRecord("f", 4000, blocks));
    file(w, "g", 5000);
  });
}

// The block ranges of the package's "Copy" entry number `nth`.
std::vector<PackedRange> blocksOf(const Bytes& bytes, int nth = 0) {
  const auto package = openPackage(bytes);
  std::int32_t i = package->findByTag(kTagCopy, 0, -1);
  while (nth-- > 0) i = package->findByTag(kTagCopy, i + 1, -1);
  const CopyRecord file = parseCopyRecord(*package->acquireEntry(i)).value();
  std::vector<PackedRange> out;
  for (std::uint32_t b = 0; b < file.blocks.size(); ++b) out.push_back(file.blocks[b].range);
  return out;
}

// Everything a run leaves behind that a read-ahead could change.
struct Result {
  std::map<std::string, std::string> files;
  std::vector<std::string> calls, messages;
  RunEnding ending = RunEnding::Failed;
  std::string lastError;
  bool streamFailed = false;
  bool operator==(const Result&) const = default;
};

Result installed(const Bytes& bytes, unsigned jobs, bool release) {
  FakePlatform fake;
  fake.addDirectory("C:\\Apps\\Demo");
  SetupState state;
  state.package = openPackage(bytes);
  state.destinationDir = "C:\\Apps\\Demo";
  state.runAfterInstall = false;
  state.release = release;
  const std::unique_ptr<ReadAhead> ahead = startReadAhead(*state.package, bytes, jobs);
  state.blocks = ahead.get();
  Result r;
  r.ending = runInstall(state, fake, fake).ending;
  r.files = fake.files;
  r.calls = fake.calls;
  for (const auto& m : fake.messages) r.messages.push_back(m.caption + ": " + m.text);
  r.lastError = state.package->lastError();
  r.streamFailed = state.package->streamFailed();
  if (ahead) {
    EXPECT_LE(ahead->peakHeld(), ahead->window());
    EXPECT_GT(ahead->served(), 0u);  // blocks came from the workers
  }
  return r;
}

TEST(ReadAhead, RunsGiveTheSameFilesLogCallsAndFailures) {
  Bytes damaged = packageOf([](PackageWriter& w) { file(w, "a", 10'000), file(w, "b", 5000); });
  const PackedRange middle = blocksOf(damaged)[5];
  damaged[middle.offset + middle.packed / 2] ^= 0x01;  // the data base is 0
  const std::tuple<const char*, bool, Bytes, const char*> rows[] = {
      // what, a release, the package, the reader's error ("" for a run that completes)
      {"many small and empty files", false, packageOf([](PackageWriter& w) {
         for (int i = 0; i < 40; ++i)
           file(w, "d" + std::to_string(i % 3) + "\\f" + std::to_string(i), (i % 5) * 700);
       }),
       ""},
      {"multi-block files", false, packageOf([](PackageWriter& w) {
         file(w, "a", 25'000), file(w, "b", 1), file(w, "c", 9'999);
       }),
       ""},
      {"a folder tree, for a release", true, packageOf([](PackageWriter& w) {
         const std::vector<TaggedRange> sub{member(w, "t\\s\\b", 4000), member(w, "t\\s\\c", 9)};
         const std::vector<TaggedRange> top{member(w, "t\\a", 6000),
                                            member(w, "t\\empty", 0),
                                            {kTagCopyDir, w.addData(directoryRecord("t\\s", sub))}};
         w.addEntry(kTagCopyDir, "CopD", directoryRecord("t", top));
       }),
       ""},
      {"stored blocks after a data base", false,
       packageOf(
           [](PackageWriter& w) {
             std::vector<TaggedRange> list;
             for (std::uint32_t i = 0; i < 40; ++i) {
               const Bytes data = textOf(1000, i);
               list.push_back({kTagBlockMarker, i % 2 ? w.addStored(data) : w.addData(data)});
             }
             w.addEntry(kTagCopy, "Copy", copyRecord("a", 40'000, list));
           },
           52),
       ""},
      {"a block larger than the read-ahead takes", false,
       packageOf([](PackageWriter& w) { file(w, "big", 600'001, 600'000); }), ""},
      {"a damaged block in the middle of a file", false, damaged,
       "range is not a valid zlib stream of 1000 bytes"},
      {"a block beyond the end", false, withExtraBlock({1'000'000, 1000, 50}),
       "range starts beyond the end of the package"},
      {"a block that runs past the end", false, withExtraBlock({20, 1000, 1'000'000}),
       "range runs past the end of the package"},
  };
  for (const auto& [what, release, bytes, error] : rows) {
    const Result direct = installed(bytes, 1, release);
    EXPECT_EQ(direct.ending, *error ? RunEnding::Failed : RunEnding::Completed) << what;
    EXPECT_EQ(direct.lastError, error) << what;
    for (unsigned jobs : {2u, 4u})
      EXPECT_TRUE(installed(bytes, jobs, release) == direct) << what << " -j" << jobs;
  }
}

// Reads asked in another order than listed (a run that skips a file, as `zorv extract` goes on
// after one that fails) give what the package gives, its error and failed stream included.
TEST(ReadAhead, ReadsOutOfOrderGiveWhatThePackageGives) {
  const Bytes bytes = withExtraBlock({20, 1000, 100'000});  // runs past the end
  const std::vector<PackedRange> f = blocksOf(bytes), g = blocksOf(bytes, 1);
  const PackedRange unlisted{f[0].offset, 999, f[0].packed};
  // A skip, the failure that fails the stream, a block unpacked before, a skip, misses.
  const PackedRange asks[] = {f[1], f[2], f[3], g[0], g[2], unlisted, f[0]};
  const auto direct = openPackage(bytes), run = openPackage(bytes);
  ReadAhead ahead(*run, bytes, 2);
  // Nobody takes a block yet: the workers fill the window, 8 of the 9 blocks, and stop there.
  for (int i = 0; i < 500 && ahead.peakHeld() < ahead.window(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ahead.peakHeld(), 2 * ReadAhead::kBlocksPerJob);
  for (const PackedRange& r : asks) {
    const auto want = direct->readRange(r);
    const auto got = ahead.read(*run, r);
    ASSERT_EQ(got.has_value(), want.has_value()) << r.offset;
    if (want) {
      EXPECT_TRUE(std::ranges::equal(got->bytes(), want->bytes())) << r.offset;
    }
    EXPECT_EQ(run->lastError(), direct->lastError()) << r.offset;
    EXPECT_EQ(run->streamFailed(), direct->streamFailed()) << r.offset;
  }
  EXPECT_EQ(ahead.served(), 2u);  // f[1] and f[2]; after the failure the package answers
}

}  // namespace
}  // namespace zorv
