// Writes seeds for the PE resource fuzzer into the folder given: the synthetic stubs of the
// tests in both layouts (resources last, and followed by .reloc) and the hostile shapes that
// once broke the writer, so that every fuzzing run starts from them.
//   make_pe_seeds DIR   (the folder is created when missing)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/pe/pe_test_image.h"
#include "tools/pe/icons.h"
#include "tools/pe/version_info.h"

namespace {

bool save(const std::string& dir, const char* name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = dir + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pe_seeds DIR\n");
    return 1;
  }
  using namespace zorv::pe_test;
  const std::string dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  TestImage last = typicalStub();
  TestImage reloc = typicalStub();
  reloc.relocAfterResources = true;
  // A stub whose version resource and icon group parse, as the builder writes them.
  TestImage branded = typicalStub();
  zorv::VersionInfo version;
  version.strings = {{"ProductName", "Zorv"}, {"FileVersion", "1.0"}};
  zorv::IconImage image;
  image.bytes = patternBytes(60, 1);
  image.bytes[0] = 40;
  image.bytes[1] = image.bytes[2] = image.bytes[3] = 0;
  const std::uint16_t ids[] = {1};
  for (TestResource& r : branded.resources) {
    if (r.type == "#16") r.data = zorv::versionResourceBytes(version);
    if (r.type == "#14" && r.name == "#101") r.data = zorv::iconGroupBytes({&image, 1}, ids);
    if (r.type == "#3") r.data = image.bytes;
  }
  const bool ok = save(dir, "synthetic-branded.exe", buildImage(branded)) &&
                  save(dir, "synthetic-last.exe", buildImage(last)) &&
                  save(dir, "synthetic-reloc.exe", buildImage(reloc)) &&
                  save(dir, "headers-after-sections.exe", headersAfterSectionsStub());
  if (!ok) std::fprintf(stderr, "make_pe_seeds: cannot write into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
