#include <optional>
#include <string>

#include "install/install.h"
#include "log/uninstall_paths.h"
#include "package/held_entry.h"
#include "texts/texts.h"

namespace zorv {

namespace {

// ASCII only: the abbreviations and type names are plain letters, and the system's own
// case-insensitive compare would also fold code page letters.
bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The texts that stand for a marker in a value's data.
struct MarkerTexts {
  std::string setupDir;  // without its closing backslash
  std::string destinationDir;
  std::string timestamp;
};

// At most one marker, the first of SRCDIR, DESTDIR, DATEINSTALL that occurs anywhere in the
// data; it is replaced as if it stood at the start, which is where packages put it.
std::string composeValue(std::string_view data, const MarkerTexts& m) {
  const struct {
    std::string_view marker;
    const std::string& replacement;
  } kMarkers[] = {
      {"SRCDIR", m.setupDir}, {"DESTDIR", m.destinationDir}, {"DATEINSTALL", m.timestamp}};
  for (const auto& k : kMarkers)
    if (data.find(k.marker) != std::string_view::npos)
      return k.replacement + std::string(data.substr(k.marker.size()));
  return std::string(data);
}

// Creates the key of the first "root" record after logging it; kNoKey after the message of
// the key or of the log.
KeyHandle createPackageKey(InstallRun& run, std::int32_t rootIndex) {
  const HeldEntry held(*run.state.package, rootIndex);
  std::optional<RootRecord> root;
  if (held.body()) root = parseRootRecord(*held.body());
  // The message is built before the entry goes back.
  const std::string keyPath = root ? std::string(root->keyPath) : std::string();
  KeyHandle key = kNoKey;
  // A key name with a control character is refused before its "DelK" line: the line would
  // name, with blanks for CR and LF, some other key.
  if (root && !hasControlCharacter(keyPath)) {
    // Logged before the creation, so that a half-made key is still removed later.
    if (!logLine(run, kTagLogDeleteKey, std::string(root->root) + " " + keyPath)) return kNoKey;
    if (const std::optional<RegRoot> predefined = rootFromText(root->root))
      key = run.platform.registry.createKey(*predefined, keyPath);
  }
  if (key == kNoKey) {
    run.failure = Text::KeyError;
    run.platform.dialogs.messageBox(std::string(text(Text::KeyError, run.state.language)) + keyPath,
                                    run.state.appName);
  }
  return key;
}

// One "valr" record. Only REG_SZ values are written; every record counts for the bar.
void writeValue(InstallRun& run, std::int32_t i, KeyHandle key, const MarkerTexts& markers) {
  const HeldEntry held(*run.state.package, i);
  std::optional<ValueRecord> value;
  if (held.body()) value = parseValueRecord(*held.body());
  if (!value) return;
  run.view.setControlText(control::kFileNameLine, value->name);
  if (!equalsIgnoreCase(value->type, "REG_SZ")) return;
  run.platform.registry.setString(key, value->name, composeValue(value->data, markers));
}

// A number right-aligned in `width` characters with blanks, as "%*u" would print it; by hand,
// because the runtime's printf costs the setup about 30 KiB.
void appendPadded(std::string& out, unsigned value, std::size_t width) {
  char digits[10];
  std::size_t n = 0;
  do {
    digits[n++] = char('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (std::size_t i = n; i < width; ++i) out += ' ';
  while (n > 0) out += digits[--n];
}

}  // namespace

std::string formatInstallTimestamp(const SystemTime& t) {
  std::string stamp;
  appendPadded(stamp, t.day, 2);
  stamp += '.';
  appendPadded(stamp, t.month, 2);
  stamp += '.';
  appendPadded(stamp, t.year, 4);
  stamp += ' ';
  appendPadded(stamp, t.hour, 2);
  stamp += ':';
  appendPadded(stamp, t.minute, 2);
  stamp += ':';
  appendPadded(stamp, t.second, 2);
  return stamp;
}

bool writeRegistryValues(InstallRun& run) {
  Package& package = *run.state.package;
  // Only the first "root" record counts; the second one only ends its list of values.
  const std::int32_t root = package.findByTag(kTagRoot, 0, -1);
  if (root < 0) return true;
  const std::int32_t next = package.findByTag(kTagRoot, root + 1, -1);

  const KeyHandle key = createPackageKey(run, root);
  if (key == kNoKey) return false;

  MarkerTexts markers{run.state.setupDir, run.state.destinationDir, {}};
  if (!markers.setupDir.empty()) markers.setupDir.pop_back();
  // Taken once, so that every value of the run carries the same time.
  markers.timestamp = formatInstallTimestamp(run.platform.process.utcNow());

  const std::uint32_t count = countEntries(package, kTagValue, root, next);
  if (count > 0) {
    run.view.setControlText(control::kStatusLine,
                            text(Text::CreateRegistryKeys, run.state.language));
    run.view.setProgressRange(count);
    run.view.setProgressPos(0);
    std::uint32_t handled = 0;
    forEachEntry(package, kTagValue, root, next, [&](std::int32_t i) {
      writeValue(run, i, key, markers);
      run.view.setProgressPos(++handled);
      return true;
    });
  }
  run.platform.registry.closeKey(key);
  return true;
}

void writeApplicationLanguage(InstallRun& run) {
  if (run.state.userScope) return;  // under HKEY_LOCAL_MACHINE: not the user's to write
  Registry& registry = run.platform.registry;
  const KeyHandle key =
      registry.createKey(RegRoot::LocalMachine, "SoftWare\\Zantrel\\" + run.state.appName);
  if (key == kNoKey) return;
  registry.setString(key, "Language", run.state.language == kRussian ? "ru" : "en");
  registry.closeKey(key);
}

}  // namespace zorv
