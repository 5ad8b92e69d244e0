// The resources of the built setup.exe, read back the way the system reads them: dialog
// template 101 control by control, the icon group, the manifest.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package/byte_cursor.h"
#include "tools/pe/pe_resources.h"

namespace zorv {
namespace {

std::vector<std::uint8_t> readSetupExe() {
  std::ifstream in(ZORV_SETUP_EXE, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A dialog template's reading helpers: UTF-16 texts, texts-or-ordinals.
std::string text(ByteCursor& c) {
  std::string s;
  for (std::uint16_t ch = c.u16(); c.ok() && ch != 0; ch = c.u16()) s += ch < 0x80 ? char(ch) : '?';
  return s;
}

// "#n" for an ordinal; the predefined control classes by their names. Class names are compared
// in lower case, as the system compares them without regard to case.
std::string textOrOrdinal(ByteCursor& c, bool lowerCase = false) {
  std::uint16_t first = c.u16();
  if (first == 0xFFFF) {
    switch (std::uint16_t ordinal = c.u16()) {
      case 0x80: return "button";
      case 0x81: return "edit";
      case 0x82: return "static";
      case 0x85: return "combobox";
      default: return "#" + std::to_string(ordinal);
    }
  }
  std::string s;
  for (std::uint16_t ch = first; c.ok() && ch != 0; ch = c.u16())
    s += char(ch >= 0x80 ? '?' : lowerCase ? std::tolower(ch) : ch);
  return s;
}

struct Control {
  int id;
  std::string className;
  std::string text;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  bool operator==(const Control&) const = default;
};

void PrintTo(const Control& c, std::ostream* os) {
  *os << c.id << " " << c.className << " \"" << c.text << "\" style " << std::hex << c.style
      << " ex " << c.exStyle << std::dec << " at " << c.x << "," << c.y << " size " << c.cx << "x"
      << c.cy;
}

struct Dialog {
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string menu, windowClass, caption, font;
  std::uint16_t pointSize = 0, weight = 0;
  std::uint8_t italic = 0, charset = 0;
  std::vector<Control> controls;
};

// DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items, each item aligned to four bytes.
Dialog readDialog(std::span<const std::uint8_t> t) {
  ByteCursor c(t);
  Dialog d;
  EXPECT_EQ(c.u16(), 1);       // dlgVer
  EXPECT_EQ(c.u16(), 0xFFFF);  // signature: an extended template
  c.u32();                     // helpID
  d.exStyle = c.u32();
  d.style = c.u32();
  std::uint16_t count = c.u16();
  d.x = short(c.u16()), d.y = short(c.u16()), d.cx = short(c.u16()), d.cy = short(c.u16());
  d.menu = textOrOrdinal(c);
  d.windowClass = textOrOrdinal(c, true);
  d.caption = text(c);
  if (d.style & DS_SETFONT) {
    d.pointSize = c.u16();
    d.weight = c.u16();
    d.italic = c.u8();
    d.charset = c.u8();
    d.font = text(c);
  }
  for (int i = 0; i < count && c.ok(); ++i) {
    c.skip((4 - c.position() % 4) % 4);
    Control k;
    c.u32();  // helpID
    k.exStyle = c.u32();
    k.style = c.u32();
    k.x = short(c.u16()), k.y = short(c.u16()), k.cx = short(c.u16()), k.cy = short(c.u16());
    k.id = int(c.u32());
    k.className = textOrOrdinal(c, true);
    k.text = textOrOrdinal(c);
    c.skip(c.u16());  // creation data
    d.controls.push_back(k);
  }
  EXPECT_TRUE(c.ok()) << "template cut short";
  return d;
}

class SetupResources : public testing::Test {
 protected:
  static void SetUpTestSuite() { image_ = new std::vector<std::uint8_t>(readSetupExe()); }
  static void TearDownTestSuite() { delete image_; }
  std::span<const std::uint8_t> resource(std::string_view type, std::uint16_t id) {
    auto r = findPeResource(*image_, type, id);
    EXPECT_TRUE(r) << type << " " << id << ": " << r.error();
    return r.value_or(std::span<const std::uint8_t>{});
  }
  static std::vector<std::uint8_t>* image_;
};
std::vector<std::uint8_t>* SetupResources::image_ = nullptr;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;  // a control shown from the start
constexpr DWORD kHidden = WS_CHILD;

TEST_F(SetupResources, TheWizardPageIsTemplate101) {
  Dialog d = readDialog(resource("#5", 101));
  EXPECT_EQ(d.style, DWORD(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(std::vector<short>({d.x, d.y, d.cx, d.cy}), std::vector<short>({0, 0, 227, 156}));
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.windowClass, "");
  EXPECT_EQ(d.caption, "Install");
  EXPECT_EQ(d.font, "System");
  EXPECT_EQ(d.pointSize, 10);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, 0);

  const std::vector<Control> expected = {
      {1006, "button", "Next", BS_DEFPUSHBUTTON | WS_TABSTOP | kChild, 0, 115, 125, 39, 14},
      {1007, "button", "Cancel", BS_PUSHBUTTON | WS_TABSTOP | kChild, 0, 180, 125, 39, 14},
      {1000, "edit", "", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | kChild, 0, 5, 35, 175,
       14},
      {1001, "button", "Browse", BS_PUSHBUTTON | WS_TABSTOP | kChild, 0, 190, 35, 30, 14},
      {1020, "static", "Free", SS_LEFTNOWORDWRAP | WS_GROUP | kChild, WS_EX_RIGHT, 7, 82, 44, 8},
      {1002, "button", "Place Icons on Desktop", BS_AUTOCHECKBOX | WS_TABSTOP | kChild, 0, 135, 5,
       87, 10},
      {1003, "button", "Run after install", BS_AUTOCHECKBOX | WS_TABSTOP | kChild, 0, 135, 15, 65,
       10},
      {1004, "static", "Static", SS_LEFTNOWORDWRAP | SS_SUNKEN | WS_GROUP | kChild, 0, 54, 79, 43,
       11},
      {1021, "static", "Need", SS_LEFTNOWORDWRAP | WS_GROUP | kChild, WS_EX_RIGHT, 7, 98, 44, 8},
      {1005, "static", "Static", SS_LEFTNOWORDWRAP | WS_GROUP | kChild, 0, 54, 98, 43, 11},
      {1009, "static", "#3001", SS_BITMAP | kChild, WS_EX_DLGMODALFRAME, 110, 76, 14, 14},
      {1008, "static", "#3000", SS_BITMAP | kChild, WS_EX_DLGMODALFRAME, 2, 1, 14, 14},
      {1022, "button", "", BS_GROUPBOX | kChild, WS_EX_RIGHT, 5, 70, 95, 45},
      {1023, "button", "Destination Directory", BS_GROUPBOX | kChild, 0, 5, 25, 220, 30},
      {1010, "static", "", SS_BITMAP | kChild, WS_EX_DLGMODALFRAME, 5, 120, 20, 20},
      {1011, "static", " Not free space on the disk!", SS_LEFT | WS_GROUP | kChild, WS_EX_RIGHT, 0,
       140, 131, 8},
      {1012, "msctls_progress32", "Progress1", WS_BORDER | kHidden, 0, 0, 110, 227, 10},
      {1013, "static", "", SS_LEFT | SS_SUNKEN | WS_GROUP | kHidden, 0, 0, 88, 227, 10},
      {1014, "static", "", SS_LEFT | SS_SUNKEN | WS_GROUP | kHidden, 0, 0, 99, 227, 10},
      {1015, "combobox", "", CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP | kChild, 0, 165,
       57, 48, 30},
      {1024, "static", "Language", SS_LEFT | WS_GROUP | kChild, 0, 128, 59, 33, 8},
  };
  ASSERT_EQ(d.controls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(d.controls[i], expected[i]) << "control " << i << " in template order";
}

// GRPICONDIR with one GRPICONDIRENTRY: 32 x 32 pixels, 16 colours, 4 bits.
TEST_F(SetupResources, TheIconGroupHasOneImageOf32By32In16Colours) {
  ByteCursor c(resource("#14", 101));
  EXPECT_EQ(c.u16(), 0);  // reserved
  EXPECT_EQ(c.u16(), 1);  // type: icon
  ASSERT_EQ(c.u16(), 1);  // one image
  EXPECT_EQ(c.u8(), 32);
  EXPECT_EQ(c.u8(), 32);
  EXPECT_EQ(c.u8(), 16);
  c.u8();
  EXPECT_EQ(c.u16(), 1);  // planes
  EXPECT_EQ(c.u16(), 4);  // bits per pixel
  std::uint32_t bytes = c.u32();
  std::uint16_t imageId = c.u16();
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(resource("#3", imageId).size(), bytes);
}

TEST_F(SetupResources, TheManifestAsksForAdministratorRights) {
  auto m = resource("#24", 1);
  std::string manifest(m.begin(), m.end());
  EXPECT_NE(manifest.find("requestedExecutionLevel level=\"requireAdministrator\""),
            std::string::npos)
      << manifest;
  // The classic controls: the page is laid out for them.
  EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

TEST_F(SetupResources, ThePlainProgramCarriesNoPackage) {
  EXPECT_FALSE(findPeResource(*image_, "SETUP", 101));
  EXPECT_TRUE(findPeResource(*image_, "#16", 1)) << "version information";
}

}  // namespace
}  // namespace zorv
