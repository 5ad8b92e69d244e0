#include "wizard/page_texts.h"

#include "install/setup_state.h"
#include "platform/platform.h"

namespace zorv {

namespace {

constexpr ControlText kPageTexts[] = {
    {control::kBrowse, Text::Browse},
    {control::kPlaceIcons, Text::PlaceIcons},
    {control::kRunAfterInstall, Text::RunAfterInstall},
    {control::kDestinationFrame, Text::DestinationFrame},
    {control::kLanguageLabel, Text::LanguageLabel},
    {control::kFreeLabel, Text::FreeLabel},
    {control::kNeedLabel, Text::NeedLabel},
    {control::kNoSpaceWarning, Text::NoFreeSpace},
    {control::kNext, Text::Next},
    {control::kCancel, Text::Cancel},
};

constexpr std::size_t kMaxBrowseTitleChars = 79;

std::string prefixed(Text prefix, std::string_view appName, int language, std::size_t limit) {
  std::string out(text(prefix, language));
  out += appName;
  if (out.size() > limit) out.resize(limit);
  return out;
}

}  // namespace

std::span<const ControlText> pageControlTexts() { return kPageTexts; }

std::string pageCaption(std::string_view appName, int language) {
  return prefixed(Text::CaptionPrefix, appName, language, kMaxPathChars);
}

std::string browseTitle(std::string_view appName, int language) {
  return prefixed(Text::BrowseTitlePrefix, appName, language, kMaxBrowseTitleChars);
}

}  // namespace zorv
