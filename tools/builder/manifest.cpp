#include "tools/builder/manifest.h"

// toml++ is used header-only, without exceptions: a parse failure comes back as a value, so
// nothing can escape the builder's interfaces.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <map>
#include <tuple>
#include <sstream>

#include "install/package_limits.h"
#include "platform/codepage.h"
#include "tools/builder/limits.h"
#include "tools/builder/registry_text.h"
#include "tools/pe/version_info.h"
#include "log/uninstall_paths.h"

namespace zorv {

namespace {

int lineOf(const toml::node& n) { return static_cast<int>(n.source().begin.line); }
int lineOf(const toml::key& k) { return static_cast<int>(k.source().begin.line); }

const char* typeName(toml::node_type t) {
  switch (t) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "true or false";
    default: return "a date or time";
  }
}

// Reads the parsed document into a Manifest, collecting every problem with its line.
class ManifestReader {
 public:
  ManifestReader(Manifest& m, Diagnostics& diag) : m_(m), diag_(diag) {}

  void read(const toml::table& root);

 private:
  void error(int line, std::string message) { diag_.error(m_.path, line, std::move(message)); }
  void warning(int line, std::string message) { diag_.warning(m_.path, line, std::move(message)); }

  void onlyKeys(const toml::table& t, std::string_view where,
                std::initializer_list<std::string_view> known);
  const toml::table* table(const toml::table& parent, std::string_view key);
  std::optional<std::string> utf8(const toml::table& t, std::string_view key, std::string_view what,
                                  bool required, int* line);
  std::optional<std::string> ansi(std::string_view utf8, int line, std::string_view what);
  std::optional<ManifestText> text(const toml::table& t, std::string_view key,
                                   std::string_view what, bool required);
  bool boolean(const toml::table& t, std::string_view key, bool fallback);
  std::vector<ManifestText> texts(const toml::table& t, std::string_view key,
                                  std::string_view what);

  void readApplication(const toml::table& root);
  void readFiles(const toml::table& root);
  void readShortcuts(const toml::table& root);
  void readRegistry(const toml::table& root);
  void readUninstall(const toml::table& root);
  void readBitmaps(const toml::table& root);
  void readBuild(const toml::table& root);

  // Checks of one text against the destination's path limit and the record's length byte.
  void checkRecordText(const ManifestText& t, std::string_view what,
                       std::size_t max = kMaxRecordText);
  // A registry key path or value name: a record text in which DEL is a control character too.
  void checkRegistryName(const ManifestText& t, std::string_view what);
  // A text of the product's identity: a record text, also without DEL, and not empty.
  void checkProductText(const ManifestText& t, std::string_view what);
  void checkRemovableKey();
  void checkVersion(const ManifestText& version);
  void checkScope();
  void readSigning(const toml::table& root);
  void addExclude(FileMapping& f, std::string pattern, int line);
  void checkBelowDestination(const std::string& name, int line, std::string_view what,
                             bool wildcards);
  std::size_t destination() const;
  std::string destinationNote() const;

  Manifest& m_;
  Diagnostics& diag_;
};

void ManifestReader::onlyKeys(const toml::table& t, std::string_view where,
                              std::initializer_list<std::string_view> known) {
  for (auto&& [key, value] : t) {
    bool ok = false;
    for (std::string_view k : known) ok = ok || key.str() == k;
    if (ok) continue;
    std::string list;
    for (std::string_view k : known) list += (list.empty() ? "" : ", ") + std::string(k);
    error(lineOf(key), "unknown key \"" + std::string(key.str()) + "\" in " + std::string(where) +
                           " (known: " + list + ")");
  }
}

const toml::table* ManifestReader::table(const toml::table& parent, std::string_view key) {
  const toml::node* n = parent.get(key);
  if (!n) return nullptr;
  if (!n->is_table()) {
    error(lineOf(*n), "\"" + std::string(key) + "\" must be a table, not " + typeName(n->type()));
    return nullptr;
  }
  return n->as_table();
}

std::optional<std::string> ManifestReader::utf8(const toml::table& t, std::string_view key,
                                                std::string_view what, bool required, int* line) {
  const toml::node* n = t.get(key);
  *line = n ? lineOf(*n) : lineOf(t);
  if (!n) {
    if (required)
      error(*line, std::string(what) + " is missing (key \"" + std::string(key) + "\")");
    return std::nullopt;
  }
  if (!n->is_string()) {
    error(*line, std::string(what) + " must be a string, not " + typeName(n->type()));
    return std::nullopt;
  }
  return n->as_string()->get();
}

std::optional<std::string> ManifestReader::ansi(std::string_view text, int line,
                                                std::string_view what) {
  std::string bad;
  auto converted = utf8ToAnsi(text, m_.codePage, &bad);
  if (!converted) error(line, std::string(what) + " holds " + bad);
  return converted;
}

std::optional<ManifestText> ManifestReader::text(const toml::table& t, std::string_view key,
                                                 std::string_view what, bool required) {
  int line = 0;
  auto s = utf8(t, key, what, required, &line);
  if (!s) return std::nullopt;
  auto a = ansi(*s, line, what);
  if (!a) return std::nullopt;
  return ManifestText{*a, line};
}

bool ManifestReader::boolean(const toml::table& t, std::string_view key, bool fallback) {
  const toml::node* n = t.get(key);
  if (!n) return fallback;
  if (!n->is_boolean()) {
    error(lineOf(*n),
          "\"" + std::string(key) + "\" must be true or false, not " + typeName(n->type()));
    return fallback;
  }
  return n->as_boolean()->get();
}

std::vector<ManifestText> ManifestReader::texts(const toml::table& t, std::string_view key,
                                                std::string_view what) {
  std::vector<ManifestText> out;
  const toml::node* n = t.get(key);
  if (!n) return out;
  if (!n->is_array()) {
    error(lineOf(*n), std::string(what) + " must be an array of strings");
    return out;
  }
  for (const toml::node& item : *n->as_array()) {
    if (!item.is_string()) {
      error(lineOf(item), std::string(what) + " must be strings, not " + typeName(item.type()));
      continue;
    }
    if (auto a = ansi(item.as_string()->get(), lineOf(item), what))
      out.push_back({withBackslashes(*a), lineOf(item)});
  }
  return out;
}

void ManifestReader::checkRecordText(const ManifestText& t, std::string_view what,
                                     std::size_t max) {
  if (t.text.size() > max)
    error(t.line, std::string(what) + " is " + std::to_string(t.text.size()) +
                      " bytes long; a record holds at most " + std::to_string(max));
  for (char c : t.text)
    if (static_cast<unsigned char>(c) < 0x20) {
      error(t.line, std::string(what) + " holds a control character");
      return;
    }
}

void ManifestReader::checkRegistryName(const ManifestText& t, std::string_view what) {
  const std::string why = registryNameProblem(t.text);
  if (why.empty())
    checkRecordText(t, what);
  else
    error(t.line, std::string(what) + " holds " + why);
}

void ManifestReader::checkProductText(const ManifestText& t, std::string_view what) {
  if (t.text.empty()) error(t.line, std::string(what) + " is empty; leave the key out instead");
  if (t.text.find('\x7F') != std::string::npos)
    error(t.line, std::string(what) + " holds a control character");
  else
    checkRecordText(t, what);
}

// The uninstaller removes a key only two or more levels below a root's Software, so that a
// forged log cannot take Software or a whole vendor's key with it.
// The binary file version holds four numbers; a suffix stays in the texts only.
void ManifestReader::checkVersion(const ManifestText& version) {
  const ParsedVersion v = parseVersionText(version.text);
  const std::string shown = ansiToUtf8(version.text, m_.codePage);
  if (!v.problem.empty())
    error(version.line, "the version \"" + shown + "\" " + v.problem +
                            "; give one to four numbers of at most 65535 separated by dots, "
                            "optionally followed by a suffix, such as 2.1 or 2.1.0-beta");
  else if (!v.suffix.empty())
    warning(version.line,
            "the version \"" + shown + "\" has the file version " + std::to_string(v.numbers[0]) +
                "." + std::to_string(v.numbers[1]) + "." + std::to_string(v.numbers[2]) + "." +
                std::to_string(v.numbers[3]) + ": its suffix \"" +
                ansiToUtf8(v.suffix, m_.codePage) + "\" is kept in the product version only");
}

// For the user alone, the setup writes nothing that needs an administrator.
void ManifestReader::checkScope() {
  if (m_.userScope && m_.registry && m_.registry->root == "HLM")
    error(m_.registry->line,
          "the registry key lies under HLM, which only an administrator may "
          "write, but scope = \"user\" installs without those rights; use "
          "HCU or scope = \"machine\"");
}

void ManifestReader::readSigning(const toml::table& root) {
  const toml::table* s = table(root, "signing");
  if (!s) return;
  onlyKeys(*s, "[signing]", {"command"});
  const toml::node* n = s->get("command");
  const int line = n ? lineOf(*n) : lineOf(*s);
  const toml::array* a = n ? n->as_array() : nullptr;
  SigningSpec signing{{}, line};
  if (a)
    for (const toml::node& item : *a) {
      if (!item.is_string()) {
        error(lineOf(item),
              std::string("the signing command must be strings, not ") + typeName(item.type()));
        return;
      }
      signing.command.push_back(item.as_string()->get());
    }
  if (signing.command.empty()) {
    error(line,
          "[signing] needs command = [\"program\", \"argument\", ...], for example "
          "[\"osslsigncode\", \"sign\", ..., \"-in\", \"{in}\", \"-out\", \"{out}\"]");
    return;
  }
  bool file = false, in = false, out = false;
  for (const std::string& arg : signing.command) {
    file = file || arg.find("{file}") != std::string::npos;
    in = in || arg.find("{in}") != std::string::npos;
    out = out || arg.find("{out}") != std::string::npos;
  }
  if (file == (in || out) || in != out) {
    error(line,
          "the signing command must name the file to sign as {file} (signed in place) or "
          "as {in} and {out} (a signed copy written to a new file), not both");
    return;
  }
  m_.signing = std::move(signing);
}

void ManifestReader::checkRemovableKey() {
  if (!m_.uninstaller || !m_.registry) return;
  const std::string& path = m_.registry->path;
  const bool belowSoftware = foldAscii(path.substr(0, 9)) == "software\\";
  if (belowSoftware && std::count(path.begin(), path.end(), '\\') >= 2) return;
  warning(m_.registry->line,
          "the uninstaller removes only keys two or more levels below Software (such as "
          "HCU\\Software\\Publisher\\Product); it will leave " +
              m_.registry->root + "\\" + ansiToUtf8(path, m_.codePage));
}

std::size_t ManifestReader::destination() const {
  return destinationLength(m_.defaultParent ? m_.defaultParent->text : "",
                           m_.defaultParent.has_value(), m_.appName.text);
}

std::string ManifestReader::destinationNote() const {
  if (m_.defaultParent)
    return "the destination is taken as the default parent folder and the application name";
  return "without a default parent folder the destination is taken as a " +
         std::to_string(kAssumedShellFolder) +
         "-character application-data folder and the application name";
}

void ManifestReader::checkBelowDestination(const std::string& name, int line, std::string_view what,
                                           bool wildcards) {
  std::string why = relativeNameProblem(name, wildcards);
  if (!why.empty()) {
    error(line, std::string(what) + " \"" + ansiToUtf8(name, m_.codePage) +
                    "\" must be a name below the destination folder, but it holds " + why);
    return;
  }
  const std::size_t total = destination() + 1 + name.size();
  if (total > kMaxPath)
    error(line, std::string(what) + " \"" + ansiToUtf8(name, m_.codePage) + "\" makes a path of " +
                    std::to_string(total) + " characters below the destination; at most " +
                    std::to_string(kMaxPath) + " fit (" + destinationNote() + ")");
}

void ManifestReader::readApplication(const toml::table& root) {
  const toml::table* app = table(root, "application");
  if (!app) {
    if (!root.get("application")) error(0, "the [application] table is missing");
    return;
  }
  onlyKeys(*app, "[application]",
           {"name", "default-parent", "run", "codepage", "version", "publisher", "copyright",
            "icon", "scope"});
  if (const toml::node* scope = app->get("scope")) {
    const std::optional<std::string_view> s = scope->value<std::string_view>();
    if (s == "user")
      m_.userScope = true;
    else if (s != "machine")
      error(lineOf(*scope),
            "scope must be \"machine\" (the default: for every user, with "
            "administrator rights) or \"user\" (for the user alone)");
  }
  if (const toml::node* cp = app->get("codepage")) {
    if (!cp->is_integer() || !isSupportedCodePage(static_cast<int>(cp->as_integer()->get())))
      error(lineOf(*cp), "codepage must be 1252 (Western European) or 1251 (Cyrillic)");
    else
      m_.codePage = static_cast<int>(cp->as_integer()->get());
  }
  if (auto name = text(*app, "name", "the application name", true)) {
    m_.appName = *name;
    if (name->text.size() > kMaxAppName)
      error(name->line, "the application name is " + std::to_string(name->text.size()) +
                            " characters long; the setup holds at most " +
                            std::to_string(kMaxAppName));
    std::string why = componentProblem(name->text);
    if (!why.empty())
      error(name->line, "the application name becomes a folder name, but it holds " + why);
  }
  m_.defaultParent = text(*app, "default-parent", "the default parent folder", false);
  if (m_.defaultParent) {
    checkRecordText(*m_.defaultParent, "the default parent folder");
    const std::string why = defaultParentProblem(m_.defaultParent->text);
    if (!why.empty())
      error(m_.defaultParent->line, "the default parent folder \"" +
                                        ansiToUtf8(m_.defaultParent->text, m_.codePage) + "\" " +
                                        why);
    if (destination() > kMaxPath - 2)
      error(m_.defaultParent->line,
            "the default parent folder and the application name make a destination of " +
                std::to_string(destination()) + " characters; at most " +
                std::to_string(kMaxPath - 2) + " leave room for a file");
  }
  for (auto [key, what, field] : {std::tuple{"version", "the version", &m_.version},
                                  std::tuple{"publisher", "the publisher", &m_.publisher},
                                  std::tuple{"copyright", "the copyright", &m_.copyright}}) {
    *field = text(*app, key, what, false);
    if (*field) checkProductText(**field, what);
  }
  if (m_.version) checkVersion(*m_.version);
  int line = 0;
  if (auto icon = utf8(*app, "icon", "the icon", false, &line))
    m_.icon = IconSpec{m_.baseFolder / std::filesystem::path(*icon), *icon, line};
  m_.run = text(*app, "run", "the program to run", false);
  if (m_.run) {
    checkRecordText(*m_.run, "the program to run");
    const std::string& r = m_.run->text;
    const bool absolute = (r.size() >= 2 && r[1] == ':') || r.starts_with("\\");
    if (absolute) {
      if (r.size() > kMaxPath)
        error(m_.run->line,
              "the program to run is longer than " + std::to_string(kMaxPath) + " characters");
    } else {
      m_.run->text = withBackslashes(r);
      checkBelowDestination(m_.run->text, m_.run->line, "the program to run", false);
    }
  }
}

// A pattern with a "/" names a path below the source folder, one name per part: an empty part
// ("a//b", "cache/") could never match a name.
void ManifestReader::addExclude(FileMapping& f, std::string pattern, int line) {
  std::string_view parts = pattern;
  if (parts.find('/') != parts.npos && parts.front() == '/') parts.remove_prefix(1);
  if (parts.empty() || parts.find("//") != parts.npos || parts.back() == '/') {
    error(line, "the exclude pattern \"" + pattern +
                    "\" has an empty name; a pattern is a name, or names below the source "
                    "folder joined by \"/\" (data/*.bak)");
    return;
  }
  f.exclude.push_back({std::move(pattern), line});
}

void ManifestReader::readFiles(const toml::table& root) {
  const toml::node* n = root.get("files");
  if (!n) {
    warning(0, "the manifest installs no files (no [[files]] table)");
    return;
  }
  if (!n->is_array_of_tables()) {
    error(lineOf(*n), "\"files\" must be written as [[files]] tables");
    return;
  }
  for (const toml::node& item : *n->as_array()) {
    const toml::table& t = *item.as_table();
    onlyKeys(t, "[[files]]", {"source", "target", "exclude"});
    FileMapping f;
    f.line = lineOf(t);
    int line = 0;
    auto source = utf8(t, "source", "the source of [[files]]", true, &line);
    if (!source) continue;
    f.line = line;
    f.sourceText = *source;
    f.source = m_.baseFolder / std::filesystem::path(*source);
    if (auto target = text(t, "target", "the target", false)) {
      f.target = withBackslashes(target->text);
      f.targetGiven = true;
      // "" is allowed for a folder (its contents go to the top); the plan checks that.
      if (!f.target.empty()) checkBelowDestination(f.target, target->line, "the target", false);
      if (namesUninstallLog(f.target))
        error(target->line, "the target \"" + ansiToUtf8(f.target, m_.codePage) +
                                "\" is the uninstall log, which the setup writes at the top of "
                                "the destination");
    }
    if (const toml::node* ex = t.get("exclude")) {
      const toml::array* patterns = ex->as_array();
      if (!patterns) error(lineOf(*ex), "\"exclude\" must be an array of name patterns");
      for (std::size_t i = 0; patterns && i < patterns->size(); ++i) {
        const toml::node& p = *patterns->get(i);
        if (p.is_string())
          addExclude(f, p.as_string()->get(), lineOf(p));
        else
          error(lineOf(p),
                "exclude patterns must be strings, not " + std::string(typeName(p.type())));
      }
    }
    m_.files.push_back(std::move(f));
  }
}

void ManifestReader::readShortcuts(const toml::table& root) {
  const toml::node* n = root.get("shortcut");
  if (!n) return;
  if (!n->is_array_of_tables()) {
    error(lineOf(*n), "\"shortcut\" must be written as [[shortcut]] tables");
    return;
  }
  // The link files made so far in the program group and on the desktop, by folded name.
  std::map<std::string, int> groupLinks, desktopLinks;
  for (const toml::node& item : *n->as_array()) {
    const toml::table& t = *item.as_table();
    onlyKeys(t, "[[shortcut]]", {"name", "target", "group", "desktop"});
    auto name = text(t, "name", "the shortcut name", true);
    auto target = text(t, "target", "the shortcut target", true);
    if (!name || !target) continue;
    ShortcutSpec s{withBackslashes(name->text), withBackslashes(target->text),
                   boolean(t, "group", true), boolean(t, "desktop", false), name->line};
    checkRecordText({s.name, name->line}, "the shortcut name");
    checkRecordText({s.target, target->line}, "the shortcut target");
    if (!s.group && !s.desktop)
      error(s.line, "the shortcut is neither in the group nor on the desktop");
    std::string why = relativeNameProblem(s.name);
    if (!why.empty()) {
      error(name->line,
            "the shortcut name \"" + ansiToUtf8(s.name, m_.codePage) + "\" holds " + why);
    } else {
      const std::size_t group =
          kAssumedShellFolder + 1 + m_.appName.text.size() + 1 + s.name.size() + 4;
      const std::size_t desktop = kAssumedShellFolder + 1 + s.name.size() + 4;
      if (s.group && group > kMaxPath)
        error(name->line, "the shortcut file in the program group would have a path of " +
                              std::to_string(group) + " characters; at most " +
                              std::to_string(kMaxPath) + " fit (the programs folder is taken as " +
                              std::to_string(kAssumedShellFolder) + " characters)");
      if (s.desktop && s.name.find('\\') != std::string::npos)
        error(name->line, "a desktop shortcut cannot sit in a sub-folder (\"" +
                              ansiToUtf8(s.name, m_.codePage) +
                              "\"): the setup creates no folders on the desktop");
      else if (s.desktop && desktop > kMaxPath)
        error(name->line, "the desktop shortcut file would have a path of " +
                              std::to_string(desktop) + " characters; at most " +
                              std::to_string(kMaxPath) + " fit");
      const std::string key = foldCase(s.name, m_.codePage);
      for (auto [made, links] :
           {std::pair{s.group, &groupLinks}, std::pair{s.desktop, &desktopLinks}}) {
        if (!made) continue;
        const auto [it, fresh] = links->emplace(key, name->line);
        if (!fresh)
          error(name->line, "the shortcut \"" + ansiToUtf8(s.name, m_.codePage) +
                                "\" would replace the one of line " + std::to_string(it->second) +
                                " (" +
                                (links == &groupLinks ? "in the program group" : "on the desktop") +
                                "); Windows names ignore case");
      }
    }
    checkBelowDestination(s.target, target->line, "the shortcut target", false);
    m_.shortcuts.push_back(std::move(s));
  }
}

void ManifestReader::readRegistry(const toml::table& root) {
  const toml::table* reg = table(root, "registry");
  if (!reg) return;
  onlyKeys(*reg, "[registry]", {"key", "values"});
  auto key = text(*reg, "key", "the registry key", true);
  if (!key) return;
  RegistrySpec r;
  r.line = key->line;
  const std::string k = withBackslashes(key->text);
  const std::size_t cut = k.find('\\');
  r.root = k.substr(0, cut);
  r.path = cut == k.npos ? "" : k.substr(cut + 1);
  std::string why = registryRootProblem(r.root);
  if (!why.empty()) error(key->line, why);
  for (char& c : r.root)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (r.path.empty() || r.path.ends_with('\\') || r.path.find("\\\\") != std::string::npos)
    error(key->line, "the registry key needs a path after its root, such as HLM\\Software\\Name");
  checkRegistryName({r.path, key->line}, "the registry key path");
  // The setup logs the key for removal, and there it would take every other program's values.
  if (inSharedKeyTree(r.path))
    error(key->line, "the registry key " + r.root + "\\" + ansiToUtf8(r.path, m_.codePage) +
                         " lies in a tree that other programs share (Software\\Microsoft, "
                         "Classes, Policies, Wow6432Node, Zantrel), which the uninstaller never "
                         "removes; use a key of the application's own, such as "
                         "HCU\\Software\\Publisher\\Product");

  if (const toml::table* values = table(*reg, "values")) {
    for (auto&& [name, value] : *values) {
      RegistryValueSpec v;
      v.line = lineOf(name);
      auto n = ansi(name.str(), v.line, "the value name");
      if (!value.is_string()) {
        error(lineOf(value), "registry value \"" + std::string(name.str()) +
                                 "\" must be a string (the setup writes REG_SZ values only)");
        continue;
      }
      auto d = ansi(value.as_string()->get(), lineOf(value), "the value data");
      if (!n || !d) continue;
      v.name = *n;
      v.data = *d;
      checkRegistryName({v.name, v.line}, "the value name");
      checkRecordText({v.data, v.line}, "the value data");
      why = valueDataProblem(v.data, destination());
      if (!why.empty()) error(v.line, "value \"" + std::string(name.str()) + "\": " + why);
      r.values.push_back(std::move(v));
    }
    // The table iterates in key order; the package keeps the order of the manifest.
    std::stable_sort(r.values.begin(), r.values.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
  }
  m_.registry = std::move(r);
}

void ManifestReader::readUninstall(const toml::table& root) {
  const toml::table* u = table(root, "uninstall");
  if (!u) return;
  onlyKeys(*u, "[uninstall]", {"folders", "files", "program"});
  m_.uninstaller = boolean(*u, "program", true);
  m_.deleteFolders = texts(*u, "folders", "the folders to remove");
  m_.deleteFiles = texts(*u, "files", "the files to remove");
  for (const ManifestText& t : m_.deleteFolders) {
    checkRecordText(t, "the folder to remove");
    checkBelowDestination(t.text, t.line, "the folder to remove", false);
  }
  for (const ManifestText& t : m_.deleteFiles) {
    checkRecordText(t, "the file to remove");
    checkBelowDestination(t.text, t.line, "the file to remove", true);
  }
}

void ManifestReader::readBitmaps(const toml::table& root) {
  const toml::table* b = table(root, "bitmaps");
  if (!b) return;
  m_.bitmapsTable = true;
  onlyKeys(*b, "[bitmaps]", {"title", "pic", "zorv", "pic1", "pic2"});
  for (std::size_t i = 0; i < kBitmapNames.size(); ++i) {
    int line = 0;
    auto source = utf8(*b, kBitmapNames[i], "a bitmap", false, &line);
    if (source)
      m_.bitmaps[i] = BitmapSpec{m_.baseFolder / std::filesystem::path(*source), *source, line};
  }
}

void ManifestReader::readBuild(const toml::table& root) {
  const toml::table* b = table(root, "build");
  if (!b) return;
  onlyKeys(*b, "[build]", {"compression"});
  int line = 0;
  const auto compression = utf8(*b, "compression", "the compression", false, &line);
  if (!compression) return;
  if (*compression == "best")
    m_.bestCompression = true;
  else if (*compression != "default")
    error(line,
          "compression must be \"default\" (fast, as small as zlib's best) or \"best\" "
          "(about 2 % smaller, three times slower), not \"" +
              *compression + "\"");
}

void ManifestReader::read(const toml::table& root) {
  onlyKeys(
      root, "the manifest",
      {"application", "files", "shortcut", "registry", "uninstall", "bitmaps", "signing", "build"});
  readApplication(root);
  readFiles(root);
  readShortcuts(root);
  readRegistry(root);
  readUninstall(root);
  checkRemovableKey();
  checkScope();
  readSigning(root);
  readBitmaps(root);
  readBuild(root);
}

}  // namespace

std::optional<Manifest> parseManifest(std::string_view toml, const std::string& path,
                                      const std::filesystem::path& baseFolder, Diagnostics& diag) {
  toml::parse_result parsed = toml::parse(toml, path);
  if (!parsed) {
    const toml::parse_error& e = parsed.error();
    diag.error(path, static_cast<int>(e.source().begin.line),
               "not valid TOML: " + std::string(e.description()));
    return std::nullopt;
  }
  Manifest m;
  m.path = path;
  m.baseFolder = baseFolder;
  const std::size_t before = diag.errorCount();
  ManifestReader(m, diag).read(parsed.table());
  if (diag.errorCount() != before) return std::nullopt;
  return m;
}

std::optional<Manifest> loadManifest(const std::string& path, Diagnostics& diag) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    diag.error(path, 0, "cannot read the manifest");
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parseManifest(text.str(), path, std::filesystem::path(path).parent_path(), diag);
}

}  // namespace zorv
