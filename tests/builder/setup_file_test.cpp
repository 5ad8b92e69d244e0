// The streamed setup.exe and package: byte for byte what the in-memory builder makes, with a
// payload of several blocks, files of odd sizes and with and without identity resources.
#include "tools/builder/setup_file.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/builder/test_support.h"
#include "tests/pe/pe_test_image.h"
#include "tools/builder/executables.h"
#include "tools/pe/pe_checksum.h"

namespace zorv {
namespace {

using test::Bytes;
using test::TempTree;

Bytes readBack(std::FILE* f) {
  Bytes out;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<std::uint8_t>(c));
  return out;
}

struct Case {
  const char* keys;
  bool setup;
};

TEST(SetupFile, StreamedIsByteForByteTheBuildInMemory) {
  TempTree tree;
  // Two and a half blocks, then odd sizes: the package ends at an odd offset in the image.
  tree.write("app/big.bin", pe_test::patternBytes(kBlockSize * 2 + kBlockSize / 2 + 1, 3));
  tree.write("app/sub/small.txt", "seven b");
  tree.write("app/sub/empty.txt", "");
  const Case cases[] = {
      {"", true}, {"version = \"1.2\"\npublisher = \"Zorv\"\n", true}, {"", false}};
  for (const Case& c : cases) {
    Diagnostics d;
    auto m = loadManifest(tree.manifest(std::string("[application]\nname = \"Demo\"\n") + c.keys +
                                        "[[files]]\nsource = \"app\"\ntarget = \"\"\n"),
                          d);
    ASSERT_TRUE(m) << d.text();
    auto plan = makePlan(*m, d);
    ASSERT_TRUE(plan) << d.text();
    const Bytes stub = pe_test::buildImage(pe_test::typicalStub());
    BuildOptions options;
    options.threads = 2;
    auto package = buildPackage(*m, *plan, options);
    ASSERT_TRUE(package) << package.error();
    Bytes expected = *package;
    if (c.setup) {
      auto exe = makeSetupExecutable(stub, *m, *plan, *package, "demo.exe");
      ASSERT_TRUE(exe) << exe.error();
      expected = *exe;
    }
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const auto setup = writeSetupFile(f, c.setup ? &stub : nullptr, *m, *plan, options, "demo.exe");
    EXPECT_TRUE(setup) << setup.error();
    const SetupFileSizes sizes = setup.value_or(SetupFileSizes{});
    const Bytes written = readBack(f);
    std::fclose(f);
    EXPECT_TRUE(written == expected) << c.keys << (c.setup ? " setup" : " package");
    EXPECT_EQ(sizes.package, package->size());
    EXPECT_EQ(sizes.file, expected.size());
  }
}

TEST(SetupFile, ChecksumOverPiecesOfAnyLengthIsTheWholeFilesChecksum) {
  const Bytes file = pe_test::patternBytes(1001, 9);
  const std::vector<std::vector<std::size_t>> cuts = {{}, {1}, {3, 500}, {1, 1, 1, 2}, {1000}};
  for (const auto& pieces : cuts) {
    pe::ChecksumSum sum;
    std::size_t at = 0;
    for (std::size_t n : pieces) {
      sum.add(std::span(file).subspan(at, n));
      at += n;
    }
    sum.add(std::span(file).subspan(at));
    EXPECT_EQ(sum.finish(), pe::imageChecksum(file, file.size())) << pieces.size();
  }
}

}  // namespace
}  // namespace zorv
