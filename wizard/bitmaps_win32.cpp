// The package bitmaps of the page: device-dependent bitmaps made from "BmpT" bodies.
#include <windows.h>

#include <cstring>

#include "wizard/bitmap_check.h"
#include "wizard/setup_win32.h"

namespace zorv {

namespace {

// The BITMAPINFO that GDI reads: a header built from the checked fields, not the package's
// bytes, and the colour table copied after it.
struct BitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

HBITMAP createBitmap(HDC dc, const PackageBitmap& b) {
  BitmapInfo info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = b.width;
  info.header.biHeight = b.height;
  info.header.biPlanes = 1;
  info.header.biBitCount = b.bitCount;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = b.colorsUsed;
  std::memcpy(info.colors, b.colorTable.data(), b.colorTable.size());
  return CreateDIBitmap(dc, &info.header, CBM_INIT, b.pixels.data(),
                        reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

}  // namespace

HBITMAP makePackageBitmap(HDC dc, Package& package, std::string_view name) {
  auto body = package.acquireByName(name);
  if (!body) return nullptr;
  HBITMAP bitmap = nullptr;
  if (auto checked = checkPackageBitmap(*body)) bitmap = createBitmap(dc, *checked);
  package.releaseByName(name);  // the unpacked body leaves the cache once nobody holds it
  return bitmap;
}

void loadPageBitmaps(HWND dialog, Package& package, Win32RunView& view) {
  HDC dc = GetDC(dialog);
  HBITMAP first = makePackageBitmap(dc, package, "pic1");
  HBITMAP second = makePackageBitmap(dc, package, "pic2");
  view.setStageBitmaps(first, second);
  placePicture(dialog, control::kPictureTitle, makePackageBitmap(dc, package, "title"));
  placePicture(dialog, control::kPicturePic, makePackageBitmap(dc, package, "pic"));
  placePicture(dialog, control::kPictureZorv, makePackageBitmap(dc, package, "zorv"));
  ReleaseDC(dialog, dc);
}

}  // namespace zorv
