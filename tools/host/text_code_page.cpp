#include "tools/host/text_code_page.h"

#include <algorithm>
#include <charconv>

#include "install/install.h"
#include "package/byte_cursor.h"
#include "package/code_page.h"
#include "platform/codepage.h"
#include "platform/terminal_text.h"

namespace zorv {

std::expected<int, std::string> textCodePage(Package& package, CodePageChoice choice) {
  if (choice) return choice;
  std::string reason;
  const std::optional<std::uint32_t> own = packageCodePage(package, &reason);
  if (own && *own <= 0xFFFF && isSupportedCodePage(static_cast<int>(*own)))
    return static_cast<int>(*own);
  if (own) reason = "its \"CPag\" entry names code page " + std::to_string(*own);
  return std::unexpected(reason + " (--codepage 1252 or 1251 reads it all the same)");
}

std::expected<std::string, std::string> engineFolder(const HostSystem& host,
                                                     const std::string& folder, int codePage) {
  if (std::optional<std::string> engine = host.engineText(folder)) return std::move(*engine);
  return std::unexpected("the folder " + terminalText(folder) + " has a character that code page " +
                         std::to_string(codePage) + " lacks");
}

std::string codePageLogLine(int codePage) {
  return logLineText(kTagCodePage, std::to_string(codePage));
}

std::optional<int> logCodePage(std::string_view log) {
  constexpr std::size_t kValueOffset = 5;  // the code, a blank
  while (!log.empty()) {
    const std::size_t end = std::min(log.find('\n'), log.size());
    std::string_view line = log.substr(0, end);
    log.remove_prefix(std::min(end + 1, log.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() <= kValueOffset || line[4] != ' ' ||
        loadLE32(reinterpret_cast<const std::uint8_t*>(line.data())) != kTagCodePage)
      continue;
    const std::string_view value = line.substr(kValueOffset);
    int codePage = 0;
    const auto [last, ec] = std::from_chars(value.data(), value.data() + value.size(), codePage);
    if (ec == std::errc() && last == value.data() + value.size() && isSupportedCodePage(codePage))
      return codePage;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace zorv
