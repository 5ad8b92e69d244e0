// libFuzzer target for the PE resource code: any bytes are an untrusted setup.exe, and also an
// untrusted .ico file and version resource. The lookups and parsers must never crash, hang or
// read outside the input; a stub the writer accepts must yield an image from which the new
// resource reads back unchanged, and a version resource that parses must parse again once
// written anew. Seeds: any small PE files, such as the test stubs of tests/pe and the
// synthetic ones of make_pe_seeds.
// scripts/fuzz.sh builds it with libFuzzer; under CTest fuzz_pe_resources_replay runs it over
// the seeds that make_pe_seeds writes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>

#include "tools/pe/icons.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/version_info.h"

namespace {

void checkVersion(std::span<const std::uint8_t> bytes) {
  auto info = zorv::parseVersionResource(bytes);
  if (info && !zorv::parseVersionResource(zorv::versionResourceBytes(*info))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  (void)zorv::parseIconFile(image);
  (void)zorv::parseIconGroup(image);
  checkVersion(image);
  if (!zorv::looksLikePe(image)) return 0;
  if (auto version = zorv::findPeResource(image, "#16", 1)) checkVersion(*version);
  if (auto group = zorv::findPeResource(image, "#14", 101)) (void)zorv::parseIconGroup(*group);
  (void)zorv::findPeResource(image, "SETUP", 101);
  (void)zorv::findPeResource(image, "#24", 1);
  (void)zorv::listPeResources(image);
  static const std::uint8_t payload[] = {'Z', 'o', 'r', 'v', 0, 1, 2, 3, 4};
  auto written = zorv::setPeResource(image, "SETUP", 101, payload);
  if (written) {
    auto back = zorv::findPeResource(*written, "SETUP", 101);
    if (!back || back->size() != sizeof payload ||
        !std::equal(back->begin(), back->end(), std::begin(payload)))
      std::abort();
    const auto list = zorv::listPeResources(*written);
    if (!list || list->empty()) std::abort();
  }
  return 0;
}
