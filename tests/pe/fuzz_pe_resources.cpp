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
  std::string why;
  auto info = zorv::parseVersionResource(bytes, &why);
  if (info && !zorv::parseVersionResource(zorv::versionResourceBytes(*info), &why)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  std::string why;
  (void)zorv::parseIconFile(image, &why);
  (void)zorv::parseIconGroup(image, &why);
  checkVersion(image);
  if (!zorv::looksLikePe(image)) return 0;
  if (auto version = zorv::findPeResource(image, "#16", 1, &why)) checkVersion(*version);
  if (auto group = zorv::findPeResource(image, "#14", 101, &why))
    (void)zorv::parseIconGroup(*group, &why);
  (void)zorv::findPeResource(image, "SETUP", 101, &why);
  (void)zorv::findPeResource(image, "#24", 1, &why);
  (void)zorv::listPeResources(image, &why);
  static const std::uint8_t payload[] = {'Z', 'o', 'r', 'v', 0, 1, 2, 3, 4};
  auto written = zorv::setPeResource(image, "SETUP", 101, payload, &why);
  if (written) {
    auto back = zorv::findPeResource(*written, "SETUP", 101, &why);
    if (!back || back->size() != sizeof payload ||
        !std::equal(back->begin(), back->end(), std::begin(payload)))
      std::abort();
    if (zorv::listPeResources(*written, &why).empty()) std::abort();
  }
  return 0;
}
