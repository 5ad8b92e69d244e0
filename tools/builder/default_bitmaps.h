// The page bitmaps the builder draws for a manifest without a [bitmaps] table, so that the
// page's three picture frames are not left as small empty squares: a flat panel of the page's
// face colour at the size the page shows the bitmap, with the application's icon, when the
// manifest names one, in its middle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tools/pe/icons.h"

namespace zorv {

struct Rgb {
  std::uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};

// Windows' default button-face colour (COLOR_BTNFACE) since Vista, the colour a dialog's
// background takes there. Wine 8 (a prefix made by tests/e2e/wine_env.py) paints the page in
// its own 245 245 245 ("ButtonFace" in HKCU\Control Panel\Colors); the setup is made for
// Windows, and under Wine the five levels of difference hardly show inside the sunken frame.
inline constexpr Rgb kPanelColour = {240, 240, 240};

// The least free space between the icon and each edge of the panel.
inline constexpr std::int32_t kIconMargin = 4;

// The bitmaps drawn: the first kSuppliedBitmapCount of kPageBitmapSizes (title, pic, zorv),
// the ones the page shows when it opens. Without pic1 and pic2 the title stays during the run.
inline constexpr std::size_t kSuppliedBitmapCount = 3;

// The image of `icon` drawn on a width x height panel: the largest (by area, then by depth;
// the first of equals) of the uncompressed images of 1, 4, 8, 24 or 32 bits that fits inside
// the margin. None when no image fits or all that fit are PNG files or damaged.
std::optional<std::size_t> chooseIconImage(std::span<const IconImage> icon, std::int32_t width,
                                           std::int32_t height);

// The "BmpT" body of a width x height panel, 24 bits without compression, with the chosen image
// of `icon` (none when empty) centred on it: blended by its alpha when it is a 32-bit image
// that has one, else drawn where its AND mask is clear.
std::vector<std::uint8_t> defaultBitmapBody(std::int32_t width, std::int32_t height,
                                            std::span<const IconImage> icon);

}  // namespace zorv
