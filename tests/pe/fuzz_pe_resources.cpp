// libFuzzer target for the PE resource code: any bytes are an untrusted setup.exe. The lookups
// must never crash, hang or read outside the input; a stub the writer accepts must yield an
// image from which the new resource reads back unchanged. Seeds: any small PE files, such as
// the test stubs of tests/pe and the synthetic ones of make_pe_seeds.
// scripts/fuzz.sh builds it with libFuzzer; under CTest fuzz_pe_resources_replay runs it over
// the seeds that make_pe_seeds writes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>

#include "tools/pe/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  std::string why;
  if (!zorv::looksLikePe(image)) return 0;
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
