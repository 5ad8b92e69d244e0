#include <gtest/gtest.h>

#include "platform/posix_platform.h"
#include "platform/registry_store.h"
#include "tests/platform/temp_dir.h"

namespace zorv {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> sectionKeys(const RegFile& file) {
  std::vector<std::string> keys;
  for (const RegSection& s : file.sections) keys.push_back(s.key);
  return keys;
}

TEST(RegistryStore, KeyPathsAsRegCreateKeyExTakesThem) {
  struct Row {
    const char* path;
    bool valid;
  } rows[] = {
      {"", true},
      {"A", true},
      {"A\\B", true},
      {"A\\B\\", true},
      {"\\A", false},
      {"A\\\\B", false},
      {"A\\\\", false},
      {"\\", false},
      // Control characters could end the key's line in the file and start another section.
      {"A]\r\n[HKEY_LOCAL_MACHINE\\Run", false},
      {"A\nB", false},
      {"A\\\x1b[2J", false},
      {"A\x7f", false},
      {"A\t", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    RegistryStore store;
    EXPECT_EQ(store.createKey(RegRoot::CurrentUser, row.path) != nullptr, row.valid);
    EXPECT_EQ(store.findKey(RegRoot::CurrentUser, row.path) != nullptr, row.valid);
  }
}

TEST(RegistryStore, KeysIgnoreCaseAndKeepTheirFirstSpelling) {
  const std::string lower = "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0";  // Программа (code page 1251)
  const std::string upper = "\xCF\xD0\xCE\xC3\xD0\xC0\xCC\xCC\xC0";  // ПРОГРАММА
  RegistryStore store;
  bool created = false;
  RegistryStore::Key* demo =
      store.createKey(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Demo", &created);
  EXPECT_TRUE(created);
  RegistryStore::Key* program =
      store.createKey(RegRoot::LocalMachine, "SOFTWARE\\ZANTREL\\" + lower);
  EXPECT_EQ(store.createKey(RegRoot::LocalMachine, "software\\zantrel\\DEMO", &created), demo);
  EXPECT_FALSE(created);
  EXPECT_EQ(store.createKey(RegRoot::LocalMachine, "Software\\Zantrel\\" + upper, &created),
            program);
  EXPECT_FALSE(created);
  EXPECT_EQ(store.findKey(RegRoot::LocalMachine, "SOFTWARE\\zantrel\\" + upper), program);
  EXPECT_EQ(store.findKey(RegRoot::CurrentUser, "SoftWare"), nullptr);  // roots are apart

  EXPECT_EQ(sectionKeys(store.toFile()), (std::vector<std::string>{
                                             "HKEY_LOCAL_MACHINE\\SoftWare",
                                             "HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel",
                                             "HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\Demo",
                                             "HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\" + lower,
                                         }));
}

TEST(RegistryStore, ValuesKeepOrderAndAreReplacedInPlace) {
  RegistryStore store;
  RegistryStore::Key* key = store.createKey(RegRoot::CurrentUser, "Software\\Demo");
  RegistryStore::setString(*key, "Path", "one");
  RegistryStore::setString(*key, "", "default");
  RegistryStore::setString(*key, "Language", "en");
  RegistryStore::setString(*key, "PATH", "two");
  ASSERT_EQ(key->values.size(), 3u);
  EXPECT_EQ(key->values[0], (RegValue{"Path", RegValue::Kind::String, "two"}));
  EXPECT_EQ(key->values[1].name, "");
  EXPECT_EQ(key->values[2].name, "Language");
  ASSERT_NE(RegistryStore::findValue(*key, "language"), nullptr);
  EXPECT_EQ(RegistryStore::findValue(*key, "language")->data, "en");
}

TEST(RegistryStore, RootValuesAndRootOrder) {
  RegistryStore store;
  store.createKey(RegRoot::Users, "U");
  RegistryStore::setString(*store.createKey(RegRoot::CurrentUser, ""), "v", "1");
  store.createKey(RegRoot::LocalMachine, "M");
  store.createKey(RegRoot::CurrentConfig, "");  // a root without values writes no section
  EXPECT_EQ(
      sectionKeys(store.toFile()),
      (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\M", "HKEY_CURRENT_USER", "HKEY_USERS\\U"}));
}

TEST(RegistryStore, ApplyImportsLikeRegedit) {
  std::optional<RegFile> file = parseRegedit4(
      "REGEDIT4\r\n\r\n"
      "[hkey_local_machine\\A\\B]\r\n\"x\"=\"1\"\r\n\"y\"=dword:00000002\r\n\"z\"=\"3\"\r\n"
      "[HKEY_LOCAL_MACHINE\\a\\b]\r\n\"X\"=\"one\"\r\n\"z\"=-\r\n\"missing\"=-\r\n"
      "[HKEY_LOCAL_MACHINE\\A\\C]\r\n"
      "[-HKEY_LOCAL_MACHINE\\A\\C]\r\n"
      "[-HKEY_LOCAL_MACHINE\\Nowhere\\Deep]\r\n");
  ASSERT_TRUE(file);
  RegistryStore store;
  std::string why;
  ASSERT_TRUE(store.apply(*file, &why)) << why;
  const RegistryStore::Key* b = store.findKey(RegRoot::LocalMachine, "A\\B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->values, (std::vector<RegValue>{{"x", RegValue::Kind::String, "one"},
                                              {"y", RegValue::Kind::Raw, "dword:00000002"}}));
  EXPECT_EQ(store.findKey(RegRoot::LocalMachine, "A\\C"), nullptr);
  EXPECT_EQ(store.findKey(RegRoot::LocalMachine, "Nowhere"), nullptr);  // removal made nothing
}

TEST(RegistryStore, ApplyRefusesWhatRegeditRefuses) {
  const char* files[] = {
      "REGEDIT4\r\n[HKEY_DYN_DATA\\X]\r\n",      "REGEDIT4\r\n[HKLM\\X]\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USERX\\Y]\r\n", "REGEDIT4\r\n[HKEY_CURRENT_USER\\\\X]\r\n",
      "REGEDIT4\r\n[-HKEY_CURRENT_USER]\r\n",
  };
  for (const char* text : files) {
    SCOPED_TRACE(text);
    std::optional<RegFile> file = parseRegedit4(text);
    ASSERT_TRUE(file);
    RegistryStore store;
    std::string why;
    EXPECT_FALSE(store.apply(*file, &why));
    EXPECT_NE(why.find('['), std::string::npos) << why;
  }
}

class PosixRegistry : public ::testing::Test {
 protected:
  PosixPlatformOptions options() const {
    PosixPlatformOptions o = posixPlatformOptionsFor(dir.path(), "");
    o.registryFile = registryFile;
    return o;
  }
  TempDir dir;
  std::string registryFile = dir / "state/zorv/registry.reg";
};

// Each change is on disk as soon as the call returns; the file is what regedit imports.
TEST_F(PosixRegistry, EveryChangeIsSavedAtOnce) {
  PosixPlatform platform(options());
  EXPECT_EQ(platform.registryError(), "");
  KeyHandle key = platform.createKey(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Demo");
  ASSERT_NE(key, kNoKey);
  EXPECT_EQ(readFile(registryFile),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\Demo]\r\n\r\n");
  EXPECT_TRUE(platform.setString(key, "Path", "C:\\Apps\\\"Demo\""));
  EXPECT_TRUE(platform.setString(key, "\xC8\xEC\xFF", "\xC4\xE5\xEC\xEE"));  // Имя = Демо
  EXPECT_EQ(readFile(registryFile),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SoftWare\\Zantrel\\Demo]\r\n"
            "\"Path\"=\"C:\\\\Apps\\\\\\\"Demo\\\"\"\r\n"
            "\"\xC8\xEC\xFF\"=\"\xC4\xE5\xEC\xEE\"\r\n\r\n");
  platform.closeKey(key);
  EXPECT_FALSE(platform.setString(key, "Late", "x"));
  EXPECT_FALSE(platform.setString(kNoKey, "Never", "x"));
}

TEST_F(PosixRegistry, ReloadsWhatItSaved) {
  {
    PosixPlatform platform(options());
    KeyHandle key = platform.createKey(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Installer");
    platform.setString(key, "Language", "ru");
    platform.setString(key, "Quoted", "a\\\"b\"\r\n");
    platform.setString(key, "", "default");
    platform.closeKey(key);
    KeyHandle user = platform.createKey(RegRoot::CurrentUser, "\xCF\xF0\xEE\xE3");
    platform.setString(user, "Cut", std::string("before\0after", 12));
    platform.closeKey(user);
  }
  PosixPlatform again(options());
  EXPECT_EQ(again.registryError(), "");
  EXPECT_EQ(again.readString(RegRoot::LocalMachine, "SOFTWARE\\zantrel\\INSTALLER", "language"),
            "ru");
  EXPECT_EQ(again.readString(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Installer", "Quoted"),
            "a\\\"b\"\r\n");
  EXPECT_EQ(again.readString(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Installer", ""), "default");
  EXPECT_EQ(again.readString(RegRoot::CurrentUser, "\xEF\xF0\xEE\xE3", "Cut"), "before");
  EXPECT_EQ(again.readString(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Installer", "Missing"),
            std::nullopt);
  EXPECT_EQ(again.readString(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Nowhere", "Language"),
            std::nullopt);
  EXPECT_EQ(again.readString(RegRoot::CurrentUser, "SoftWare\\Zantrel\\Installer", "Language"),
            std::nullopt);
}

// Values of other types, written by someone else, survive our changes but are not strings.
TEST_F(PosixRegistry, KeepsForeignValuesOfTheFile) {
  std::filesystem::create_directories(dir / "state/zorv");
  writeFile(registryFile,
            "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Other]\n\"n\"=dword:0000002a\n"
            "\"h\"=hex(2):41,00,\\\n  00,00\n");
  {
    PosixPlatform platform(options());
    ASSERT_EQ(platform.registryError(), "");
    EXPECT_EQ(platform.readString(RegRoot::CurrentUser, "Software\\Other", "n"), std::nullopt);
    KeyHandle key = platform.createKey(RegRoot::CurrentUser, "Software\\Other");
    EXPECT_TRUE(platform.setString(key, "s", "x"));
  }
  EXPECT_EQ(readFile(registryFile),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"n\"=dword:0000002a\r\n\"h\"=hex(2):41,00,00,00\r\n\"s\"=\"x\"\r\n\r\n");
}

TEST_F(PosixRegistry, AFileItCannotReadIsNeverOverwritten) {
  std::filesystem::create_directories(dir / "state/zorv");
  const std::string damaged = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"no end\r\n";
  writeFile(registryFile, damaged);
  PosixPlatform platform(options());
  EXPECT_NE(platform.registryError().find("line 3"), std::string::npos) << platform.registryError();
  EXPECT_EQ(platform.createKey(RegRoot::CurrentUser, "B"), kNoKey);
  EXPECT_EQ(platform.readString(RegRoot::CurrentUser, "A", "x"), std::nullopt);
  EXPECT_EQ(readFile(registryFile), damaged);
}

TEST_F(PosixRegistry, ADirectoryInPlaceOfTheFileIsAnError) {
  std::filesystem::create_directories(registryFile);
  PosixPlatform platform(options());
  EXPECT_NE(platform.registryError(), "");
  EXPECT_EQ(platform.createKey(RegRoot::CurrentUser, "B"), kNoKey);
}

TEST_F(PosixRegistry, AKeyThatCannotBeSavedIsRefused) {
  // The folder of the file is a link to nowhere: nothing to load, and no way to save.
  std::filesystem::create_symlink(dir / "gone", dir / "state");
  PosixPlatform platform(options());
  EXPECT_EQ(platform.registryError(), "");
  EXPECT_EQ(platform.createKey(RegRoot::CurrentUser, "B"), kNoKey);
  EXPECT_EQ(platform.createKey(RegRoot::CurrentUser, "\\Bad"), kNoKey);
}

TEST_F(PosixRegistry, WithoutAFileTheRegistryLivesInMemory) {
  registryFile.clear();
  PosixPlatform platform(options());
  KeyHandle key = platform.createKey(RegRoot::Users, "S-1\\Demo");
  ASSERT_NE(key, kNoKey);
  EXPECT_TRUE(platform.setString(key, "v", "1"));
  EXPECT_EQ(platform.readString(RegRoot::Users, "s-1\\demo", "V"), "1");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(PosixRegistry, HandlesAreDistinctAndOpenTheSameKey) {
  PosixPlatform platform(options());
  KeyHandle a = platform.createKey(RegRoot::CurrentUser, "K");
  KeyHandle b = platform.createKey(RegRoot::CurrentUser, "k");
  ASSERT_NE(a, kNoKey);
  ASSERT_NE(b, kNoKey);
  EXPECT_NE(a, b);
  platform.setString(a, "v", "from a");
  platform.closeKey(a);
  EXPECT_TRUE(platform.setString(b, "w", "from b"));
  EXPECT_EQ(platform.readString(RegRoot::CurrentUser, "K", "v"), "from a");
  EXPECT_EQ(platform.readString(RegRoot::CurrentUser, "K", "w"), "from b");
}

}  // namespace
}  // namespace zorv
