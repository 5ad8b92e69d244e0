#include "tools/zorv/command_line.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace zorv {

namespace {

constexpr const char* kExitStatus =
    "Exit status: 0 success, 1 failure (one line on standard error), 2 usage error.";

bool parseU32(std::string_view s, std::uint32_t& v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

// "OFFSET:UNPACKED:PACKED", three unsigned 32-bit numbers.
std::optional<PackedRange> parseRange(std::string_view s) {
  const auto a = s.find(':');
  const auto b = a == s.npos ? s.npos : s.find(':', a + 1);
  PackedRange r;
  if (b == s.npos || !parseU32(s.substr(0, a), r.offset) ||
      !parseU32(s.substr(a + 1, b - a - 1), r.unpacked) || !parseU32(s.substr(b + 1), r.packed))
    return std::nullopt;
  return r;
}

bool endsWithIgnoringCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  s.remove_prefix(s.size() - suffix.size());
  for (std::size_t i = 0; i < s.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != suffix[i]) return false;
  return true;
}

// The build's output says by its name what it is: NAME.exe a setup, NAME.pkg the package alone.
// Something already there that is no regular file (a device such as /dev/null for a dry run, a
// folder the build refuses with its own message) is taken whatever its name.
std::string checkOutputName(const std::string& out) {
  if (endsWithIgnoringCase(out, ".exe") || endsWithIgnoringCase(out, ".pkg")) return "";
  std::error_code ec;
  const auto st = std::filesystem::status(out, ec);
  if (!ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) return "";
  return "\"" + out + "\" ends neither in .exe (a setup) nor in .pkg (a bare package)";
}

std::string checkRange(const std::string& s) {
  return parseRange(s) ? "" : "\"" + s + "\" is not OFFSET:UNPACKED:PACKED";
}

void addPlatformPaths(CLI::App& c, PlatformPaths& p) {
  c.add_option("--registry-file", p.registryFile, "the REGEDIT4 file that stands for the registry")
      ->type_name("FILE");
  c.add_option("--programs-dir", p.programsDir, "the folder of program groups")->type_name("DIR");
  c.add_option("--desktop-dir", p.desktopDir, "the desktop folder")->type_name("DIR");
}

void addJobs(CLI::App& c, unsigned& jobs) {
  c.add_option("-j,--jobs", jobs,
               "unpack the next blocks on N threads (default: one per processor; 1: none)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
}

void addCodePage(CLI::App& c, CodePageChoice& codePage) {
  c.add_option("--codepage", codePage,
               "read the package's texts in code page N (1252 or 1251) instead of its own")
      ->type_name("N")
      ->check(CLI::IsMember(std::vector<int>{1252, 1251}).description(""));
}

// CLI11's help with each command's own synopsis, which shows what it requires: the required
// options are checked after the parse (see Parser::required), so CLI11 does not know them.
class Formatter final : public CLI::Formatter {
 public:
  std::map<const CLI::App*, std::string> synopses;
  std::string make_usage(const CLI::App* app, std::string name) const override {
    const auto s = synopses.find(app);
    if (s == synopses.end()) return CLI::Formatter::make_usage(app, std::move(name));
    return "Usage: " + name + " " + s->second + "\n";
  }
};

// The values of every command, bound to the parser's options.
struct Values {
  InitArgs init;
  BuildArgs build;
  ListArgs list;
  CatArgs cat;
  std::uint32_t entry = 0;
  ExtractArgs extract;
  InstallArgs install;
  std::string language = "en";
  UninstallArgs uninstall;
  VerifyArgs verify;
  WingetArgs winget;
  std::string description;
  std::string helpFor;  // bound for the help text only; see helpFor()
};

// The tool's command line as CLI11 sees it, with the values it fills in.
struct Parser {
  std::string version;  // "zorv 1.2.3\n"
  CLI::App app{"Builds, inspects, extracts, installs and uninstalls Zorv Setup packages.", "zorv"};
  Values v;
  CLI::Option* entry = nullptr;
  CLI::Option* range = nullptr;
  CLI::Option* description = nullptr;
  // Checked after the parse rather than by CLI11, which would report a missing one before an
  // unknown argument, the likelier mistake.
  std::map<const CLI::App*, std::vector<const CLI::Option*>> required;

  std::shared_ptr<Formatter> formatter = std::make_shared<Formatter>();

  CLI::Option* require(CLI::App* command, CLI::Option* option) {
    required[command].push_back(option);
    return option;
  }
  CLI::App* command(const char* name, const char* description, const char* synopsis) {
    CLI::App* c = app.add_subcommand(name, description);
    formatter->synopses[c] = synopsis;
    return c;
  }
  explicit Parser(std::string_view number);
  void addBuild();
  void addInspectors();
  void addInstallers();
  void addPublishers();
};

Parser::Parser(std::string_view number) : version("zorv " + std::string(number) + "\n") {
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag("--version", version.substr(0, version.size() - 1),
                       "print the version and exit");
  app.footer(kExitStatus);
  formatter->label("Positionals", "Arguments");
  formatter->label("Subcommands", "Commands");
  formatter->synopses[&app] = "COMMAND [OPTIONS] [ARGUMENTS]";
  app.formatter(formatter);
  addBuild();
  addInspectors();
  addInstallers();
  addPublishers();
  command("version", "print the version", "");
  // Parsed by helpFor(): CLI11 would read the name of a command as that command.
  command("help", "print the help of the tool or of one command", "[COMMAND]")
      ->add_option("COMMAND", v.helpFor, "the command")
      ->type_name("");
}

void Parser::addBuild() {
  CLI::App* c = command("init", "write a starting zorv.toml into the folder of the application",
                        "[DIR]");
  c->add_option("DIR", v.init.dir, "the folder whose files are the application (default: .)")
      ->type_name("");

  c = command("build", "make a setup.exe, or a bare .pkg, from a manifest",
                        "MANIFEST -o OUT [--stub STUB] [--uninstaller PATH] [-j N] [--best]");
  BuildArgs& a = v.build;
  require(c, c->add_option("MANIFEST", a.manifest, "the manifest (TOML)")->type_name(""));
  require(c, c->add_option("-o,--output", a.out,
                           "NAME.exe for a setup, NAME.pkg for the package alone (required)"))
      ->type_name("OUT")
      ->check(CLI::Validator([](std::string& s) { return checkOutputName(s); }, "", "name"));
  c->add_option("--stub", a.stub, "the setup program to carry the package")->type_name("STUB");
  c->add_option("--uninstaller", a.uninstaller, "the uninstall.exe the package carries")
      ->type_name("PATH");
  c->add_option("-j,--jobs", a.threads, "compress with N threads (default: one per processor)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
  c->add_flag("--best", a.best,
              "compress harder: about 2 % smaller, three times slower (as [build] compression = "
              "\"best\")");
}

void Parser::addInspectors() {
  CLI::App* c = command("list", "list what a setup installs, or its raw entries",
                        "[--entries] [--json] [--codepage N] FILE");
  require(c, c->add_option("FILE", v.list.file, "a setup.exe or a package")->type_name(""));
  c->add_flag("--entries", v.list.entries, "the package's directory entries instead");
  c->add_flag("--json", v.list.json, "a JSON document with the same facts");
  addCodePage(*c, v.list.codePage);

  c = command("cat", "write the unpacked bytes of an entry or a range to stdout",
              "FILE --entry N | --range OFFSET:UNPACKED:PACKED");
  require(c, c->add_option("FILE", v.cat.file, "a setup.exe or a package")->type_name(""));
  entry = c->add_option("--entry", v.entry, "the body of entry N")->type_name("N");
  range = c->add_option("--range", v.cat.rangeText, "the unpacked bytes of a packed range")
              ->type_name("OFFSET:UNPACKED:PACKED")
              ->check(CLI::Validator([](std::string& s) { return checkRange(s); }, "", "range"));

  c = command("extract", "unpack only the files and folders",
              "FILE [-C DIR] [--codepage N] [-j N]");
  require(c, c->add_option("FILE", v.extract.file, "a setup.exe or a package")->type_name(""));
  c->add_option("-C,--directory", v.extract.dir, "extract into DIR (default: the current folder)")
      ->type_name("DIR");
  addCodePage(*c, v.extract.codePage);
  addJobs(*c, v.extract.jobs);

  for (const char* name : {"verify", "test"}) {
    c = command(name,
                name == std::string_view("verify") ? "check every body, record and the total size"
                                                   : "the same check as verify",
                "FILE");
    require(c, c->add_option("FILE", v.verify.file, "a setup.exe or a package")->type_name(""));
  }
}

void Parser::addInstallers() {
  CLI::App* c = command("install", "run the whole install natively",
                        "FILE --dest DIR [--lang en|ru] [--no-desktop] [--run] [-j N] [OPTIONS]");
  InstallArgs& i = v.install;
  require(c, c->add_option("FILE", i.file, "a setup.exe or a package")->type_name(""));
  require(c, c->add_option("--dest", i.dest, "the destination folder (required)"))
      ->type_name("DIR");
  c->add_option("--lang", v.language, "the language of the run's texts (default: en)")
      ->type_name("en|ru")
      ->check(CLI::IsMember(std::vector<std::string>{"en", "ru"}).description(""));
  c->add_flag_function(
      "--no-desktop", [&i](std::int64_t) { i.desktop = false; }, "place no desktop links");
  c->add_flag("--run", i.run, "start the package's program after the install");
  c->add_flag_function(
      "--no-run", [&i](std::int64_t) { i.run = false; }, "do not start it (the default)");
  addCodePage(*c, i.codePage);
  addJobs(*c, i.jobs);
  addPlatformPaths(*c, i.paths);

  c = command("uninstall", "remove what `zorv install` put there, as its log lists it",
              "DEST [--yes] [OPTIONS]");
  require(c, c->add_option("DEST", v.uninstall.dest, "the folder zorv install installed into")
                 ->type_name(""));
  c->add_flag("-y,--yes", v.uninstall.yes, "remove without asking");
  addPlatformPaths(*c, v.uninstall.paths);
}

void Parser::addPublishers() {
  CLI::App* c = command("winget", "write a winget manifest (schema 1.10.0) for a setup.exe",
                        "SETUP.exe --id ID --url URL --license TEXT [-o DIR] [--locale L] "
                        "[--description TEXT]");
  WingetArgs& w = v.winget;
  require(c, c->add_option("SETUP.exe", w.file, "a setup.exe made by zorv build")->type_name(""));
  require(c, c->add_option("--id", w.id, "the package's identifier, Publisher.App (required)"))
      ->type_name("ID");
  require(c, c->add_option("--url", w.url, "where winget downloads this very file (required)"))
      ->type_name("URL");
  require(c, c->add_option("--license", w.license,
                           "the license, such as MIT or Proprietary (required)"))
      ->type_name("TEXT");
  c->add_option("-o,--output", w.dir,
                "write the three files into DIR (default: the current folder)")
      ->type_name("DIR");
  c->add_option("--locale", w.locale, "the locale of the texts (default: en-US)")->type_name("L");
  description = c->add_option("--description", v.description,
                              "the short description (default: the setup's FileDescription)")
                    ->type_name("TEXT");
}

// The command called `name`, or null.
const CLI::App* findCommand(const CLI::App& app, std::string_view name) {
  for (const CLI::App* c : app.get_subcommands([](const CLI::App*) { return true; }))
    if (c->get_name() == name) return c;
  return nullptr;
}

CommandLine usageError(std::string message, std::string_view command) {
  // CLI11 starts its sentences with a capital; ours are lower case, names stay as written.
  if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
      std::islower(static_cast<unsigned char>(message[1])))
    message[0] = char(std::tolower(static_cast<unsigned char>(message[0])));
  CommandLine line;
  line.error = "zorv: " + message + " (see zorv help" +
               (command.empty() ? "" : " " + std::string(command)) + ")";
  line.status = kUsageError;
  return line;
}

// The command that was parsed, with the values its options cannot check one by one.
CommandLine commandOf(Parser& p, const CLI::App& sub) {
  const std::string& name = sub.get_name();
  CommandLine line;
  Values& v = p.v;
  if (name == "init")
    line.command = v.init;
  else if (name == "build")
    line.command = v.build;
  else if (name == "list")
    line.command = v.list;
  else if (name == "extract")
    line.command = v.extract;
  else if (name == "verify" || name == "test")
    line.command = v.verify;
  else if (name == "uninstall")
    line.command = v.uninstall;
  else if (name == "winget") {
    if (p.description->count() != 0) v.winget.description = v.description;
    line.command = v.winget;
  } else if (name == "install") {
    v.install.language = v.language == "ru" ? 1 : 0;
    line.command = v.install;
  } else if (name == "cat") {
    if ((p.entry->count() == 0) == (p.range->count() == 0))
      return usageError("cat takes one of --entry N and --range OFFSET:UNPACKED:PACKED", name);
    if (p.entry->count() != 0)
      v.cat.entry = v.entry;
    else
      v.cat.range = parseRange(v.cat.rangeText);
    line.command = v.cat;
  } else if (name == "version") {
    line.output = p.version;
  }
  return line;
}

// "zorv help [COMMAND]": the tool's help or the command's, on standard output.
CommandLine helpFor(const CLI::App& app, std::span<const std::string> args) {
  if (args.size() > 1) return usageError("help takes one command: " + args[1], "");
  CommandLine line;
  if (args.empty()) {
    line.output = app.get_formatter()->make_help(&app, "zorv", CLI::AppFormatMode::Normal);
    return line;
  }
  const CLI::App* command = findCommand(app, args[0]);
  if (!command) return usageError("unknown command \"" + args[0] + "\"", "");
  line.output = command->help("zorv");
  return line;
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string> args, std::string_view version) {
  Parser p(version);
  if (!args.empty() && args[0] == "help") return helpFor(p.app, args.subspan(1));
  if (!args.empty() && !args[0].starts_with('-') && !findCommand(p.app, args[0]))
    return usageError("unknown command \"" + args[0] + "\"", "");
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them backwards
  try {
    p.app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0) {
      const auto subs = p.app.get_subcommands();
      return usageError(e.what(), subs.empty() ? "" : subs.front()->get_name());
    }
    std::ostringstream out, err;
    p.app.exit(e, out, err);
    CommandLine line;
    line.output = out.str();
    return line;
  }
  const auto subs = p.app.get_subcommands();
  if (subs.empty()) return usageError("a command is required", "");
  for (const CLI::Option* option : p.required[subs.front()])
    if (option->count() == 0)
      return usageError(option->get_name() + " is required", subs.front()->get_name());
  return commandOf(p, *subs.front());
}

}  // namespace zorv
