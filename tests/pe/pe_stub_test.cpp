// The resource writer against the real thing: a stub built by MinGW from a C file and a
// resource script, read back by Windows' own resource calls under Wine, by wrestool, and
// signed and verified by osslsigncode. Host only; each check is skipped when its tool is
// missing.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pe/pe_test_image.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/icons.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/version_info.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kStubDir = ZORV_PE_TEST_STUB_DIR;  // empty when MinGW was not found
const fs::path kWorkDir = ZORV_PE_TEST_WORK_DIR;

Bytes readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}
std::string readText(const fs::path& p) {
  const Bytes b = readFile(p);
  return std::string(b.begin(), b.end());
}
void writeFile(const fs::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

bool haveTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string quote(const fs::path& p) { return "'" + p.string() + "'"; }

// Runs a shell command with its output in `log`; returns its exit status.
int run(const std::string& command, const fs::path& log) {
  const int status = std::system((command + " >" + quote(log) + " 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string fnv1a(const Bytes& b) {
  std::uint32_t h = 2166136261u;
  for (std::uint8_t c : b) h = (h ^ c) * 16777619u;
  char text[32];
  std::snprintf(text, sizeof text, "%zu %08x\n", b.size(), static_cast<unsigned>(h));
  return text;
}

// One Wine prefix for all the tests (creating one takes seconds); tests that run in parallel
// take turns, since two first starts in a fresh prefix race.
int runUnderWine(const fs::path& exe, const fs::path& folder, const std::string& resultName,
                 const std::string& mode = "") {
  fs::create_directories(kWorkDir);
  const int lock = ::open((kWorkDir / "wine.lock").c_str(), O_RDWR | O_CREAT, 0644);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  const std::string command = "cd " + quote(folder) +
                              " && WINEPREFIX=" + quote(kWorkDir / "wineprefix") +
                              " WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='" +
                              " timeout 120 wine " + quote(exe) + " " + resultName + " " + mode;
  const int status = run(command, folder / (resultName + ".log"));
  if (lock >= 0) ::close(lock);
  return status;
}

// The stubs: "reloc" has .reloc after .rsrc (a new section is appended), "last" ends with
// .rsrc (it is rebuilt in place).
class PeRealStub : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (kStubDir.empty())
      GTEST_SKIP() << "i686-w64-mingw32-gcc or -windres not found at configure time";
    stub_ = readFile(kStubDir / (std::string("test_stub_") + GetParam() + ".exe"));
    ASSERT_FALSE(stub_.empty());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    folder_ = kWorkDir / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  // Each test's folder is kept only when it failed.
  void TearDown() override {
    if (!folder_.empty() && !HasFailure()) fs::remove_all(folder_);
  }

  fs::path inject(const Bytes& payload, const std::string& name) {
    auto out = setPeResource(stub_, "SETUP", 101, payload);
    EXPECT_TRUE(out.has_value()) << out.error();
    const fs::path p = folder_ / name;
    writeFile(p, out.value_or(Bytes{}));
    return p;
  }

  Bytes stub_;
  fs::path folder_;
};

TEST_P(PeRealStub, ReadsWhatTheLinkerWrote) {
  const auto list = listPeResources(stub_);
  ASSERT_TRUE(list) << list.error();
  auto has = [&](const std::string& type, std::uint16_t id, std::uint16_t language) {
    for (const auto& r : *list) {
      if (r.type.toString() == type && r.name == PeResourceKey{false, id, ""} &&
          r.language == language)
        return true;
    }
    return false;
  };
  EXPECT_TRUE(has("#5", 101, 1033)) << "dialog";
  EXPECT_TRUE(has("#14", 101, 1033)) << "icon group";
  EXPECT_TRUE(has("#3", 1, 1033)) << "icon";
  EXPECT_TRUE(has("#24", 1, 1033)) << "manifest";
  EXPECT_TRUE(has("#16", 1, 1033)) << "version";
  EXPECT_TRUE(has("#6", 1, 1049)) << "Russian string table";
  // The linker fills in the checksum; ours must agree with it.
  auto img = pe::parseImage(stub_);
  ASSERT_TRUE(img.has_value()) << img.error();
  EXPECT_EQ(computePeChecksum(stub_),
            loadLE32(&stub_[img->optionalHeaderOffset + pe::kOptChecksumOffset]));
  // The two stubs exercise the two placements.
  const pe::Section& last = img->sections.back();
  EXPECT_EQ(img->directory(pe::kDirectoryResource).rva == last.virtualAddress,
            std::string(GetParam()) == "last");
}

TEST_P(PeRealStub, WrestoolListsOldAndNewResources) {
  if (!haveTool("wrestool")) GTEST_SKIP() << "wrestool (icoutils) not installed";
  const Bytes payload = pe_test::patternBytes(70000, 21);
  const fs::path exe = inject(payload, "injected.exe");
  ASSERT_EQ(run("wrestool -l " + quote(exe), folder_ / "list.txt"), 0);
  const std::string list = readText(folder_ / "list.txt");
  for (const char* expected :
       {"--type='SETUP' --name=101 --language=0 ", "--type=5 --name=101 --language=1033 ",
        "--type=14 --name=101 --language=1033 ", "--type=3 --name=1 --language=1033 ",
        "--type=24 --name=1 --language=1033 ", "--type=16 --name=1 --language=1033 ",
        "--type=6 --name=1 --language=1049 "}) {
    EXPECT_NE(list.find(expected), std::string::npos) << expected << " missing from\n" << list;
  }
  const fs::path extracted = folder_ / "setup.bin";
  ASSERT_EQ(
      run("wrestool -x --raw --type=+SETUP --name=101 -o " + quote(extracted) + " " + quote(exe),
          folder_ / "extract.log"),
      0);
  EXPECT_EQ(readFile(extracted), payload);
}

TEST_P(PeRealStub, FindResourceUnderWineReturnsThePayload) {
  if (!haveTool("wine")) GTEST_SKIP() << "wine not installed";
  const Bytes payload = pe_test::patternBytes(300000, 22);
  const fs::path exe = inject(payload, "injected.exe");
  ASSERT_EQ(runUnderWine(exe, folder_, "result.txt"), 0) << readText(folder_ / "result.txt.log");
  EXPECT_EQ(readText(folder_ / "result.txt"), fnv1a(payload));
}

// A 32-bit icon image of `side` pixels: BITMAPINFOHEADER (the height counts the mask too),
// the pixels, and the AND mask in rows of 4-byte multiples.
Bytes iconImage(std::uint32_t side) {
  const std::uint32_t pixels = side * side * 4, mask = (side + 31) / 32 * 4 * side;
  Bytes b(40 + pixels + mask, 0x80);
  pe_test::put32(b, 0, 40);
  pe_test::put32(b, 4, side);
  pe_test::put32(b, 8, side * 2);
  pe_test::put16(b, 12, 1);
  pe_test::put16(b, 14, 32);
  for (std::size_t i = 16; i < 40; ++i) b[i] = 0;
  std::fill(b.end() - mask, b.end(), 0);
  return b;
}

TEST_P(PeRealStub, WindowsReadsTheVersionAndIconWeWrite) {
  if (!haveTool("wine")) GTEST_SKIP() << "wine not installed";
  VersionInfo v;
  v.fileVersion = v.productVersion = {1, 2, 3, 0};
  v.language = 0x0419;
  v.codePage = 1251;
  v.strings = {{"FileDescription", "Demo Setup"}, {"ProductName", "Zorv Demo"}};
  const Bytes version = versionResourceBytes(v);
  std::vector<IconImage> images(2);
  for (std::size_t i = 0; i < 2; ++i) {
    images[i].width = images[i].height = std::uint8_t(24 + 16 * i);
    images[i].planes = 1;
    images[i].bitCount = 32;
    images[i].bytes = iconImage(24 + 16 * std::uint32_t(i));
  }
  // The test stub's own image is id 1; the new ones are 2 and 3, the larger first.
  const std::uint16_t ids[] = {3, 2};
  const Bytes group = iconGroupBytes(images, ids);
  const PeResourceEdit edits[] = {
      {"#3", 1, {}, 0, true},
      {"#3", 3, images[0].bytes, 1033, false},
      {"#3", 2, images[1].bytes, 1033, false},
      {"#14", 101, group, 1033, false},
      {"#16", 1, version, 1033, false},
  };
  auto out = editPeResources(stub_, edits);
  ASSERT_TRUE(out) << out.error();
  const fs::path exe = folder_ / "identity.exe";
  writeFile(exe, *out);
  ASSERT_EQ(runUnderWine(exe, folder_, "identity.txt", "identity"), 0)
      << readText(folder_ / "identity.txt.log") << readText(folder_ / "identity.txt");
  EXPECT_EQ(readText(folder_ / "identity.txt"), "Zorv Demo|Demo Setup|1.2.3.0|icon 3:24 2:40\n");
}

TEST_P(PeRealStub, SignsVerifiesAndStillRuns) {
  for (const char* tool : {"osslsigncode", "openssl", "wine"}) {
    if (!haveTool(tool)) GTEST_SKIP() << tool << " not installed";
  }
  const Bytes payload = pe_test::patternBytes(50000, 23);
  const fs::path exe = inject(payload, "injected.exe");
  // Unsigned: osslsigncode finds no signature and no checksum to complain about.
  run("osslsigncode verify -in " + quote(exe), folder_ / "unsigned.txt");
  const std::string unsigned_ = readText(folder_ / "unsigned.txt");
  EXPECT_NE(unsigned_.find("No signature found"), std::string::npos) << unsigned_;
  EXPECT_EQ(unsigned_.find("invalid PE checksum"), std::string::npos) << unsigned_;

  const fs::path key = folder_ / "key.pem";
  const fs::path cert = folder_ / "cert.pem";
  ASSERT_EQ(run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Zorv test signer'"
                " -addext extendedKeyUsage=codeSigning -keyout " +
                    quote(key) + " -out " + quote(cert),
                folder_ / "openssl.log"),
            0);
  const fs::path signedExe = folder_ / "signed.exe";
  ASSERT_EQ(run("osslsigncode sign -certs " + quote(cert) + " -key " + quote(key) +
                    " -n 'Zorv test' -in " + quote(exe) + " -out " + quote(signedExe),
                folder_ / "sign.log"),
            0)
      << readText(folder_ / "sign.log");
  const int verified =
      run("osslsigncode verify -CAfile " + quote(cert) + " -in " + quote(signedExe),
          folder_ / "verify.txt");
  const std::string verify = readText(folder_ / "verify.txt");
  EXPECT_EQ(verified, 0) << verify;
  EXPECT_NE(verify.find("Signature verification: ok"), std::string::npos) << verify;
  EXPECT_EQ(verify.find("invalid PE checksum"), std::string::npos) << verify;

  ASSERT_EQ(runUnderWine(signedExe, folder_, "result.txt"), 0)
      << readText(folder_ / "result.txt.log");
  EXPECT_EQ(readText(folder_ / "result.txt"), fnv1a(payload));

  // Writing into a signed file drops the signature and gives a file that signs again.
  const Bytes signedBytes = readFile(signedExe);
  auto resealed = setPeResource(signedBytes, "SETUP", 101, pe_test::patternBytes(10, 24));
  ASSERT_TRUE(resealed.has_value()) << resealed.error();
  writeFile(folder_ / "resealed.exe", *resealed);
  run("osslsigncode verify -in " + quote(folder_ / "resealed.exe"), folder_ / "resealed.txt");
  EXPECT_NE(readText(folder_ / "resealed.txt").find("No signature found"), std::string::npos);
  EXPECT_EQ(run("osslsigncode sign -certs " + quote(cert) + " -key " + quote(key) + " -in " +
                    quote(folder_ / "resealed.exe") + " -out " + quote(folder_ / "resigned.exe"),
                folder_ / "resign.log"),
            0);
}

INSTANTIATE_TEST_SUITE_P(Stubs, PeRealStub, ::testing::Values("reloc", "last"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace zorv
