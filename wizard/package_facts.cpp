#include "wizard/package_facts.h"

#include <algorithm>

#include "package/code_page.h"
#include "package/format.h"

namespace zorv {

std::string recordText(std::span<const std::uint8_t> body) {
  if (body.empty()) return {};
  auto text = body.subspan(1);
  auto end = std::find(text.begin(), text.end(), std::uint8_t(0));
  return std::string(text.begin(), end);
}

namespace {

std::optional<std::string> entryText(Package& package, std::uint32_t tag) {
  std::int32_t i = package.findByTag(tag, 0, -1);
  if (i < 0) return std::nullopt;
  auto body = package.acquireEntry(i);
  if (!body) return std::nullopt;
  std::string text = recordText(*body);
  package.releaseEntry(i);
  return text;
}

}  // namespace

std::optional<PackageFacts> readPackageFacts(Package& package) {
  auto name = entryText(package, kTagAppName);
  if (!name) return std::nullopt;
  std::int32_t sum = package.findByTag(kTagSum, 0, -1);
  if (sum < 0) return std::nullopt;
  if (name->size() > kMaxAppNameChars) name->resize(kMaxAppNameChars);
  PackageFacts facts{std::move(*name), package.entry(sum).unpacked};
  const std::int32_t release = package.findByTag(kTagRelease, 0, -1);
  if (release >= 0) {
    facts.release = true;
    // Features that cannot be read are none beyond the release itself.
    if (auto body = package.acquireEntry(release)) {
      facts.userScope = (parseCodePageRecord(*body).value_or(0) & kReleaseUserScope) != 0;
      package.releaseEntry(release);
    }
  }
  return facts;
}

std::optional<std::string> readDefaultFolder(Package& package) {
  return entryText(package, kTagDefaultDir);
}

}  // namespace zorv
