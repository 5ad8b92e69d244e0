// Packages made with the writer, installed on the recording fake.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "install/install.h"
#include "package/package.h"
#include "tests/fake/fake_platform.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"
#include "texts/texts.h"

namespace zorv {

inline std::span<const std::uint8_t> asBytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Builds a package entry by entry and counts the bytes of its files.
struct TestPackage {
  PackageWriter writer;
  std::uint32_t totalBytes = 0;

  void file(std::string_view name, std::string_view data, std::uint32_t block = kBlockSize) {
    writer.addEntry(kTagCopy, "Copy", addFileBlocks(writer, name, asBytes(data), block));
    totalBytes += std::uint32_t(data.size());
  }
  TaggedRange nestedFile(std::string_view name, std::string_view data) {
    totalBytes += std::uint32_t(data.size());
    return {kTagCopy, writer.addData(addFileBlocks(writer, name, asBytes(data)))};
  }
  TaggedRange nestedDir(std::string_view name, std::vector<TaggedRange> members) {
    return {kTagCopyDir, writer.addData(directoryRecord(name, members))};
  }
  void dir(std::string_view name, std::vector<TaggedRange> members) {
    writer.addEntry(kTagCopyDir, "Copy", directoryRecord(name, members));
  }
  void add(std::uint32_t tag, const Bytes& body) { writer.addEntry(tag, "x", body); }
  void text(std::uint32_t tag, std::string_view s) { add(tag, nameRecord(s)); }
  void link(std::uint32_t tag, std::string_view name, std::string_view target) {
    add(tag, linkRecord(name, target));
  }
  void root(std::string_view abbreviation, std::string_view path) {
    add(kTagRoot, rootRecord(abbreviation, path));
  }
  void value(std::string_view name, std::string_view type, std::string_view data) {
    add(kTagValue, valueRecord(name, type, data));
  }
};

class InstallTest : public ::testing::Test {
 protected:
  static constexpr const char* kDest = "C:\\Apps\\Demo";
  static constexpr const char* kLog = "C:\\Apps\\Demo\\UnInstall.log";

  InstallTest() {
    state.appName = "Demo";
    state.destinationDir = kDest;
    state.setupDir = "C:\\Setup\\";
    state.runAfterInstall = false;
    fake.addDirectory(kDest);
  }

  void install() {
    bytes = pkg.writer.finish().value();
    state.package = openPackage(bytes);
    ASSERT_TRUE(state.package);
    state.requiredBytes = pkg.totalBytes;
    runInstall(state, fake, fake);
  }
  std::string log() const { return fake.file(kLog); }
  bool completed() const {
    return fake.controlTexts.count(control::kFileNameLine) &&
           fake.controlTexts.at(control::kFileNameLine) == " Install complete!";
  }
  // The calls that start with `prefix`, in order.
  std::vector<std::string> callsOf(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : fake.calls)
      if (c.starts_with(prefix)) out.push_back(c);
    return out;
  }

  std::vector<std::uint8_t> bytes;  // outlives the package that reads it
  FakePlatform fake;
  SetupState state;
  TestPackage pkg;
};

}  // namespace zorv
