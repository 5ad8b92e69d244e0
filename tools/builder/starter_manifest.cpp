#include "tools/builder/starter_manifest.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/codepage.h"
#include "tools/builder/limits.h"

namespace zorv {

namespace {

// A placeholder that the user is to replace; it also names the registry key.
constexpr std::string_view kPublisher = "Your Company";
constexpr std::string_view kFallbackName = "Application";
// The column at which the comments of the keys start.
constexpr std::size_t kCommentColumn = 30;

bool endsWithFolded(std::string_view name, std::string_view suffix) {
  return name.size() > suffix.size() && foldAscii(name).ends_with(suffix);
}

// Names that builds and installs leave at the top of a folder, never the application's own:
// the builder carries its own uninstall.exe and refuses an UnInstall.log there.
bool isLeftover(std::string_view name) {
  const std::string folded = foldAscii(name);
  return folded == "setup.exe" || folded == "uninstall.exe" || folded == "uninstall.log" ||
         endsWithFolded(name, ".pkg");
}

// TOML takes in strings and comments any character but the controls (a tab aside).
bool writableInToml(std::string_view text) {
  if (!utf8Characters(text)) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7F';
  });
}

// A TOML string of `text`, which writableInToml takes: literal ('...') when it holds a
// backslash, as the README writes Windows paths, and no apostrophe; basic ("...") otherwise.
std::string quoted(std::string_view text) {
  if (text.find('\\') != text.npos && text.find('\'') == text.npos)
    return "'" + std::string(text) + "'";
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Without what a folder name cannot hold: controls, <>:"|?*/\, runs of blanks, blanks at
// either end and dots at the end.
std::string cleanedName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F' ||
        std::string_view("<>:\"|?*/\\").find(c) != std::string_view::npos)
      continue;
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  return out;
}

std::string asciiOnly(std::string_view name) {
  std::string out;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x80) out += c;
  return cleanedName(out);
}

bool representable(std::string_view text, int codePage) {
  std::string bad;
  return utf8ToAnsi(text, codePage, &bad).has_value();
}

// The cleaned name cut to the setup's 79 characters of `codePage`, in UTF-8; none when the code
// page lacks one of its characters or nothing valid is left.
std::optional<std::string> fittedName(std::string_view cleaned, int codePage) {
  std::string bad;
  std::optional<std::string> ansi = utf8ToAnsi(cleaned, codePage, &bad);
  if (!ansi) return std::nullopt;
  ansi->resize(std::min(ansi->size(), kMaxAppName));
  while (!ansi->empty() && (ansi->back() == ' ' || ansi->back() == '.')) ansi->pop_back();
  if (!componentProblem(*ansi).empty()) return std::nullopt;
  return ansiToUtf8(*ansi, codePage);
}

// The files at the top that can be named in the manifest and below the destination.
std::vector<std::string> usableFiles(const StarterFolder& folder, std::string_view extension) {
  std::vector<std::string> out;
  for (const std::string& f : folder.files)
    if (endsWithFolded(f, extension) && !isLeftover(f) && writableInToml(f) &&
        componentProblem(f).empty())
      out.push_back(f);
  std::sort(out.begin(), out.end());
  return out;
}

std::string stem(std::string_view name) { return foldAscii(name.substr(0, name.rfind('.'))); }

// "key = value" and its comment from kCommentColumn on; a line of its own when there is none.
// Columns count characters, not the bytes of UTF-8.
void entry(std::string& out, std::string_view setting, std::string_view comment = {}) {
  out += setting;
  if (!comment.empty()) {
    const std::size_t width = static_cast<std::size_t>(std::count_if(
        setting.begin(), setting.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    out.append(width + 1 < kCommentColumn ? kCommentColumn - width : 1, ' ');
    out += "# ";
    out += comment;
  }
  out += '\n';
}

// The name, the code page and, when the name is not the folder's own, why.
struct NameChoice {
  std::string name;
  int codePage = kCodePageWestern;
  std::string note;
};

// The first code page that holds the name and every program and icon, else the name alone
// (the build then names the files it cannot), else a plain ASCII name in the page that holds
// the files. Files the chosen page cannot name are left out.
NameChoice chooseName(const StarterFolder& folder, std::vector<std::string>& programs,
                      std::vector<std::string>& icons) {
  const std::string cleaned = cleanedName(folder.name);
  auto filesFit = [&](int codePage) {
    auto fits = [codePage](const std::string& f) { return representable(f, codePage); };
    return std::all_of(programs.begin(), programs.end(), fits) &&
           std::all_of(icons.begin(), icons.end(), fits);
  };
  constexpr std::array<int, 2> kCodePages = {kCodePageWestern, kCodePageCyrillic};
  std::optional<NameChoice> c;
  for (bool withFiles : {true, false})
    for (int codePage : kCodePages)
      if (!c && (!withFiles || filesFit(codePage)))
        if (auto name = fittedName(cleaned, codePage)) c = NameChoice{*name, codePage, ""};
  if (!c) {
    const int codePage = filesFit(kCodePageWestern) || !filesFit(kCodePageCyrillic)
                             ? kCodePageWestern
                             : kCodePageCyrillic;
    c = NameChoice{fittedName(asciiOnly(cleaned), codePage).value_or(std::string(kFallbackName)),
                   codePage, ""};
  }
  for (auto* list : {&programs, &icons})
    std::erase_if(*list, [&](const std::string& f) { return !representable(f, c->codePage); });
  if (c->name == folder.name) return *c;
  const bool lacking = std::none_of(kCodePages.begin(), kCodePages.end(),
                                    [&](int cp) { return representable(cleaned, cp); });
  if (folder.name.empty())
    c->note = "change: the folder has no name of its own";
  else
    c->note = "change: made from the folder's name" +
              (writableInToml(folder.name) ? " \"" + folder.name + "\"" : std::string()) +
              (lacking ? ", which code pages 1252 and 1251 cannot write"
                       : ", no valid Windows folder name as it is");
  return *c;
}

void writeApplication(std::string& out, const NameChoice& n, const StarterManifest& m) {
  out += "[application]\n";
  if (!n.note.empty()) out += "# " + n.note + "\n";
  entry(out, "name = " + quoted(n.name), "the page caption and the folder name, at most 79 characters");
  entry(out, "# default-parent = 'C:\\Apps'", "proposed parent; else Program Files (see scope)");
  entry(out, "# scope = \"user\"", "for the user alone, without administrator rights");
  if (m.run) {
    entry(out, "run = " + quoted(*m.run), "started after the install (\"Run after Install\")");
  } else if (m.programs.empty()) {
    entry(out, "# run = \"program.exe\"", "started after the install; none at the top here");
  } else {
    out += "# Several programs lie at the top: pick the one to start after the install.\n";
    for (const std::string& p : m.programs) entry(out, "# run = " + quoted(p));
  }
  if (n.codePage == kCodePageCyrillic)
    entry(out, "codepage = 1251", "Cyrillic, which the texts need; 1252 is the default");
  else
    entry(out, "codepage = 1252", "the default, Western European; 1251 for Cyrillic texts");
  entry(out, "version = \"1.0\"", "the file version of setup.exe and in Add/Remove Programs");
  entry(out, "publisher = " + quoted(kPublisher), "change: the company shown with the version");
  entry(out, "# copyright = \"Copyright " + std::string(kPublisher) + "\"",
        "the file details' copyright");
  if (m.icon) entry(out, "icon = " + quoted(*m.icon), "the icon of setup.exe and uninstall.exe");
}

void writeFiles(std::string& out, const StarterFolder& folder) {
  std::vector<std::string> excluded = {"/" + std::string(kStarterManifestName)};
  std::vector<std::string> leftovers;
  for (const std::string& f : folder.files)
    if (isLeftover(f) && writableInToml(f)) leftovers.push_back("/" + f);
  std::sort(leftovers.begin(), leftovers.end());
  excluded.insert(excluded.end(), leftovers.begin(), leftovers.end());
  std::string list;
  for (const std::string& e : excluded) list += (list.empty() ? "" : ", ") + quoted(e);

  out += "\n[[files]]\n";
  entry(out, "source = \".\"", "this folder, the one the manifest lies in");
  entry(out, "target = \"\"", "its contents go straight into the destination");
  entry(out, "exclude = [" + list + "]", "left out; \"/name\": at the top only");
  out += "# Add the setup.exe or .pkg you build into this folder, once it is there (\"/*.pkg\"), or\n"
         "# the next build packs it; a pattern that matches nothing is a warning.\n";
}

void writeShortcut(std::string& out, const StarterManifest& m) {
  out += "\n";
  if (m.run) {
    entry(out, "[[shortcut]]", "a link in the program group (group = true)");
    entry(out, "name = " + quoted(m.appName), "the link's name");
    entry(out, "target = " + quoted(*m.run), "the installed file it opens");
    entry(out, "desktop = true", "also on the desktop (\"Place Icons on Desktop\")");
    return;
  }
  entry(out, "# [[shortcut]]", m.programs.empty() ? "a link to the program, for example"
                                                    : "a link: keep one target of these");
  entry(out, "# name = " + quoted(m.appName));
  if (m.programs.empty()) entry(out, "# target = \"program.exe\"");
  for (const std::string& p : m.programs) entry(out, "# target = " + quoted(p));
  entry(out, "# desktop = true");
}

void writeRegistryAndUninstall(std::string& out, const StarterManifest& m) {
  out += "\n[registry]\n";
  entry(out, "key = " + quoted("HCU\\Software\\" + std::string(kPublisher) + "\\" + m.appName),
        "change the company here too");
  entry(out, "[registry.values]", "string values, in this order");
  entry(out, "\"Path\" = \"DESTDIR\"", "the destination folder");

  out += "\n";
  entry(out, "[uninstall]", "what the uninstaller removes besides the files");
  entry(out, "program = true", "carry uninstall.exe and the Add/Remove Programs entry");
  entry(out, "# folders = [\"saves\"]", "folders the program makes, with their contents");
  entry(out, "# files = [\"*.log\"]", "files the program makes; wildcards allowed");
}

}  // namespace

StarterManifest starterManifest(const StarterFolder& folder) {
  StarterManifest m;
  m.programs = usableFiles(folder, ".exe");
  std::vector<std::string> icons = usableFiles(folder, ".ico");
  const NameChoice n = chooseName(folder, m.programs, icons);
  m.appName = n.name;
  m.codePage = n.codePage;
  if (m.programs.size() == 1) m.run = m.programs.front();
  if (!icons.empty()) {
    auto named = std::find_if(icons.begin(), icons.end(), [&](const std::string& i) {
      return m.run && stem(i) == stem(*m.run);
    });
    m.icon = named != icons.end() ? *named : icons.front();
  }

  m.text = "# A starting manifest, written by zorv init for the folder it lies in. Check the lines\n"
           "# marked \"change\"; README.md, \"Making a setup\", describes every key.\n\n";
  writeApplication(m.text, n, m);
  writeFiles(m.text, folder);
  writeShortcut(m.text, m);
  writeRegistryAndUninstall(m.text, m);
  return m;
}

}  // namespace zorv
