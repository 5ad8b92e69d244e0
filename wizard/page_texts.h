// Which interface text goes on which control of the page, and the two texts composed with the
// application's name.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "texts/texts.h"

namespace zorv {

struct ControlText {
  int control;
  Text text;
};

// The labelled controls in the order in which they are set. A text without a form in the
// current language (hasText) leaves its control as it is.
std::span<const ControlText> pageControlTexts();

// The page's caption: the prefix and appName, as much as a 260-byte text holds.
std::string pageCaption(std::string_view appName, int language);
// The folder browser's title: the prefix and appName, cut to 79 characters.
std::string browseTitle(std::string_view appName, int language);

}  // namespace zorv
