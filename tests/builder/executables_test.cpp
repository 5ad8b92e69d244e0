// The setup stub and the uninstaller with the product's identity: the version resource and
// icon group 101 they get, the bytes they keep without identity keys, and the checks that
// `zorv verify` makes of a setup's own resources.
#include "tools/builder/executables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/builder/test_support.h"
#include "tests/pe/pe_test_image.h"
#include "tools/pe/icons.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/version_info.h"

namespace zorv {
namespace {

using test::Bytes;
using test::TempTree;

// An .ico file of `n` 32-bit images of 16, 32, 48... pixels: the directory, then each DIB (a
// BITMAPINFOHEADER, the pixels and the mask) in turn.
Bytes makeIco(std::size_t n) {
  Bytes file(6 + 16 * n, 0);
  pe_test::put16(file, 2, 1);
  pe_test::put16(file, 4, static_cast<std::uint16_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t side = 16 * std::uint32_t(i + 1);
    Bytes dib = pe_test::patternBytes(40 + side * side * 4 + side * 4, std::uint32_t(i));
    pe_test::put32(dib, 0, 40);
    pe_test::put32(dib, 4, side);
    pe_test::put32(dib, 8, side * 2);
    const std::size_t entry = 6 + 16 * i;
    file[entry] = file[entry + 1] = std::uint8_t(side);
    pe_test::put16(file, entry + 4, 1);
    pe_test::put16(file, entry + 6, 32);
    pe_test::put32(file, entry + 8, std::uint32_t(dib.size()));
    pe_test::put32(file, entry + 12, std::uint32_t(file.size()));
    file.insert(file.end(), dib.begin(), dib.end());
  }
  return file;
}

// A stub like ours: a dialog, icon group 101 naming image 1, a manifest and a version.
Bytes makeStub() {
  VersionInfo v;
  v.strings = {{"ProductName", "Zorv Setup"}};
  const std::uint16_t ids[] = {1};
  const auto images = *parseIconFile(makeIco(1));
  pe_test::TestImage t;
  t.resources = {
      {"#5", "#101", 1033, 0, pe_test::patternBytes(90, 1)},
      {"#3", "#1", 1033, 0, images[0].bytes},
      {"#14", "#101", 1033, 0, iconGroupBytes(images, ids)},
      {"#24", "#1", 1033, 0, pe_test::patternBytes(140, 2)},
      {"#16", "#1", 1033, 0, versionResourceBytes(v)},
  };
  return pe_test::buildImage(t);
}

struct Built {
  Manifest manifest;
  Plan plan;
};

// The manifest and plan of an application with `keys` in its [application] table.
Built planWith(const TempTree& tree, const std::string& keys,
               const std::string& name = "Zorv Demo") {
  tree.write("app/a.txt", "a");
  tree.write("art/demo.ico", makeIco(2));
  Diagnostics d;
  auto m = loadManifest(tree.manifest("[application]\nname = \"" + name + "\"\n" + keys +
                                      "[[files]]\nsource = \"app\"\ntarget = \"\"\n"),
                        d);
  EXPECT_TRUE(m) << d.text();
  auto plan = m ? makePlan(*m, d) : std::nullopt;
  EXPECT_TRUE(plan) << d.text();
  return {m.value_or(Manifest{}), plan.value_or(Plan{})};
}

const std::string kAllKeys =
    "version = \"1.2.3\"\npublisher = \"Zorv\"\ncopyright = \"\\u00A9 2026\"\n"
    "icon = \"art/demo.ico\"\n";

VersionInfo versionOf(std::span<const std::uint8_t> exe) {
  auto bytes = findPeResource(exe, "#16", 1);
  EXPECT_TRUE(bytes) << bytes.error();
  if (!bytes) return {};
  auto info = parseVersionResource(*bytes);
  EXPECT_TRUE(info) << info.error();
  return info.value_or(VersionInfo{});
}

// The images of icon group 101, through the ids it names.
std::vector<Bytes> iconImagesOf(std::span<const std::uint8_t> exe) {
  std::vector<Bytes> out;
  auto group = findPeResource(exe, "#14", 101);
  EXPECT_TRUE(group) << group.error();
  if (!group) return out;
  auto entries = parseIconGroup(*group);
  EXPECT_TRUE(entries) << entries.error();
  for (const IconGroupEntry& e : entries.value_or(std::vector<IconGroupEntry>{})) {
    auto image = findPeResource(exe, "#3", e.id);
    EXPECT_TRUE(image) << e.id;
    if (image) out.emplace_back(image->begin(), image->end());
  }
  return out;
}

std::size_t countOfType(std::span<const std::uint8_t> exe, const std::string& type) {
  const auto list = listPeResources(exe).value();
  return std::size_t(std::count_if(list.begin(), list.end(), [&](const PeResourceInfo& r) {
    return r.type.toString() == type;
  }));
}

TEST(SetupExecutable, WithoutProductKeysIsTheStubWithThePackage) {
  TempTree tree;
  const Built b = planWith(tree, "");
  const Bytes stub = makeStub(), package = pe_test::patternBytes(3000, 5);
  auto exe = makeSetupExecutable(stub, b.manifest, b.plan, package, "setup.exe");
  ASSERT_TRUE(exe) << exe.error();
  EXPECT_EQ(*exe, *setPeResource(stub, "SETUP", 101, package));
}

TEST(SetupExecutable, CarriesTheProductsNameVersionAndIcon) {
  TempTree tree;
  const Built b = planWith(tree, kAllKeys);
  const Bytes stub = makeStub(), package = pe_test::patternBytes(3000, 5);
  auto exe = makeSetupExecutable(stub, b.manifest, b.plan, package, "demo-setup.exe");
  ASSERT_TRUE(exe) << exe.error();
  const VersionInfo v = versionOf(*exe);
  EXPECT_EQ(v.fileVersion, (VersionNumbers{1, 2, 3, 0}));
  EXPECT_EQ(v.productVersion, (VersionNumbers{1, 2, 3, 0}));
  EXPECT_EQ(v.language, 0x0409);
  EXPECT_EQ(v.codePage, 1252);
  const std::vector<std::pair<std::string, std::string>> strings = {
      {"CompanyName", "Zorv"},
      {"FileDescription", "Zorv Demo Setup"},
      {"FileVersion", "1.2.3"},
      {"InternalName", "setup"},
      {"LegalCopyright", "\xC2\xA9 2026"},
      {"OriginalFilename", "demo-setup.exe"},
      {"ProductName", "Zorv Demo"},
      {"ProductVersion", "1.2.3"}};
  EXPECT_EQ(v.strings, strings);

  const auto icon = *parseIconFile(makeIco(2));
  const std::vector<Bytes> images = iconImagesOf(*exe);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0], icon[0].bytes);
  EXPECT_EQ(images[1], icon[1].bytes);
  EXPECT_EQ(countOfType(*exe, "#3"), 2u) << "the stub's own image is gone";
  EXPECT_EQ(countOfType(*exe, "#14"), 1u);
  EXPECT_EQ(findPeResource(*exe, "#5", 101)->size(), 90u) << "the dialog stays";
  EXPECT_TRUE(std::ranges::equal(*findPeResource(*exe, "SETUP", 101), package));
  EXPECT_TRUE(executableResourceProblems(*exe).empty());
}

TEST(SetupExecutable, NamesACyrillicProductInItsLanguage) {
  TempTree tree;
  const std::string name = "\xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE";  // Демо
  const Built b = planWith(tree, "codepage = 1251\n", name);
  ASSERT_TRUE(b.manifest.version == std::nullopt);
  // Only the name: no version resource is written without a version, publisher or copyright.
  auto exe = makeSetupExecutable(makeStub(), b.manifest, b.plan, {}, "s.exe");
  ASSERT_TRUE(exe) << exe.error();
  EXPECT_EQ(versionOf(*exe).strings[0].second, "Zorv Setup");

  const Built c = planWith(tree, "codepage = 1251\npublisher = \"\xD0\x97\"\n", name);
  exe = makeSetupExecutable(makeStub(), c.manifest, c.plan, {}, "s.exe");
  ASSERT_TRUE(exe) << exe.error();
  const VersionInfo v = versionOf(*exe);
  EXPECT_EQ(v.language, 0x0419);
  EXPECT_EQ(v.codePage, 1251);
  EXPECT_EQ(v.strings[0], (std::pair<std::string, std::string>{"CompanyName", "\xD0\x97"}));
  EXPECT_EQ(v.strings[1].second, name + " Setup");
  EXPECT_EQ(v.fileVersion, (VersionNumbers{0, 0, 0, 0}));
}

TEST(Uninstaller, KeepsItsVeryBytesWithoutProductKeys) {
  TempTree tree;
  const Built b = planWith(tree, "");
  Bytes program = makeStub();
  program.insert(program.end(), {1, 2, 3});  // an overlay, as a signature would be
  auto out = makeUninstaller(program, b.manifest, b.plan);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(*out, program);
}

TEST(Uninstaller, GetsTheProductsNameVersionAndIcon) {
  TempTree tree;
  const Built b = planWith(tree, kAllKeys);
  auto out = makeUninstaller(makeStub(), b.manifest, b.plan);
  ASSERT_TRUE(out) << out.error();
  const VersionInfo v = versionOf(*out);
  auto text = [&v](const std::string& name) {
    for (const auto& [n, t] : v.strings)
      if (n == name) return t;
    return std::string("<none>");
  };
  EXPECT_EQ(text("FileDescription"), "Zorv Demo Uninstall");
  EXPECT_EQ(text("OriginalFilename"), "uninstall.exe");
  EXPECT_EQ(text("InternalName"), "uninstall");
  EXPECT_EQ(text("CompanyName"), "Zorv");
  EXPECT_EQ(iconImagesOf(*out).size(), 2u);
  EXPECT_TRUE(executableResourceProblems(*out).empty());
}

TEST(Uninstaller, TheCarriedOneIsTheLastTopLevelFile) {
  TempTree tree;
  Built b = planWith(tree, "version = \"2.0\"\n");
  tree.write("bin/uninstall.exe", makeStub());
  std::string path = tree.path("bin/uninstall.exe").string();
  Diagnostics diag;
  const auto carried = carryUninstaller(b.manifest, b.plan, path, true, diag);
  ASSERT_TRUE(carried) << carried.error();
  ASSERT_TRUE(b.plan.carriesUninstaller);
  const PlannedFile& f = b.plan.files.back();
  EXPECT_EQ(f.name, "uninstall.exe");
  ASSERT_TRUE(f.contents);
  EXPECT_EQ(f.size, f.contents->size());
  EXPECT_EQ(b.plan.totalBytes, 1 + f.size);
  EXPECT_EQ(b.plan.fileCount, 2u);
  EXPECT_EQ(versionOf(*f.contents).productVersion, (VersionNumbers{2, 0, 0, 0}));
}

TEST(Uninstaller, RefusesWhatIsNoProgramWithOneLine) {
  TempTree tree;
  Built b = planWith(tree, "");
  tree.write("text.exe", "not a program");
  const std::pair<std::string, const char*> rows[] = {
      {tree.path("text.exe").string(), "is not a Windows program"},
      {tree.path("missing.exe").string(), "cannot be read"},
      {tree.path("app").string(), "cannot be read (is it a file?)"},
  };
  for (const auto& [given, part] : rows) {
    std::string path = given;
    Diagnostics diag;
    const auto carried = carryUninstaller(b.manifest, b.plan, path, true, diag);
    ASSERT_FALSE(carried);
    const std::string& why = carried.error();
    EXPECT_EQ(why.find("cannot use the uninstaller " + given + ": "), 0u) << why;
    EXPECT_NE(why.find(part), std::string::npos) << why;
    EXPECT_FALSE(b.plan.carriesUninstaller);
  }
}

// A stub whose resources are `change`d versions of makeStub's, by type and name.
Bytes stubWith(const std::function<void(std::vector<pe_test::TestResource>&)>& change) {
  VersionInfo v;
  const auto images = *parseIconFile(makeIco(1));
  const std::uint16_t ids[] = {1};
  std::vector<pe_test::TestResource> r = {
      {"#3", "#1", 1033, 0, images[0].bytes},
      {"#14", "#101", 1033, 0, iconGroupBytes(images, ids)},
      {"#16", "#1", 1033, 0, versionResourceBytes(v)},
  };
  change(r);
  pe_test::TestImage t;
  t.resources = r;
  return pe_test::buildImage(t);
}

TEST(ExecutableResources, ReportsWhatIsMissingOrDamaged) {
  using Resources = std::vector<pe_test::TestResource>;
  const std::pair<std::function<void(Resources&)>, const char*> rows[] = {
      {[](Resources& r) { r.erase(r.begin() + 2); }, "no version resource"},
      {[](Resources& r) { r[2].data.resize(40); }, "version resource is damaged"},
      {[](Resources& r) { r[1].name = "#102"; }, "no icon group 101"},
      {[](Resources& r) { r[1].data.pop_back(); }, "icon group 101 is damaged"},
      {[](Resources& r) { r[0].name = "#2"; }, "names image 1, which the setup does not hold"},
      {[](Resources& r) { r[0].data.push_back(0); }, "which holds"},
  };
  EXPECT_TRUE(executableResourceProblems(stubWith([](Resources&) {})).empty());
  for (const auto& [change, part] : rows) {
    std::string all;
    for (const std::string& p : executableResourceProblems(stubWith(change))) all += p + "\n";
    EXPECT_NE(all.find(part), std::string::npos) << part << " in:\n" << all;
  }
}

}  // namespace
}  // namespace zorv
