#include "tools/builder/signing.h"

#include <fstream>
#include <iterator>

#include "tools/host/run_program.h"

namespace zorv {

namespace {

void replaceAll(std::string& text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool usesInPlace(const SigningSpec& signing) {
  for (const std::string& arg : signing.command)
    if (arg.find("{file}") != std::string::npos) return true;
  return false;
}

// What the tool said, on one line, or nothing.
std::string toolSaid(const std::string& output) {
  std::string said;
  for (char c : output) said += (c == '\n' || c == '\r') ? ' ' : c;
  while (!said.empty() && said.back() == ' ') said.pop_back();
  return said.empty() ? "" : ": " + said;
}

// A path as the command's arguments carry it: UTF-8 on every system.
std::string utf8Path(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

// Removes the private folder and what is in it when the scope ends.
struct FolderGone {
  std::filesystem::path folder;
  ~FolderGone() {
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

}  // namespace

std::vector<std::string> signingCommand(const SigningSpec& signing, const std::string& file,
                                        const std::string& in, const std::string& out) {
  std::vector<std::string> command = signing.command;
  for (std::string& arg : command) {
    replaceAll(arg, "{file}", file);
    replaceAll(arg, "{in}", in);
    replaceAll(arg, "{out}", out);
  }
  return command;
}

std::optional<std::string> signFile(const SigningSpec& signing, const std::filesystem::path& path,
                                    std::string_view what) {
  const std::string program = signing.command.front();
  const std::string step = "signing " + std::string(what) + " with " + program + " failed";
  FolderGone scratch;
  std::filesystem::path out;
  if (!usesInPlace(signing)) {
    auto folder = makePrivateFolder();
    if (!folder) return step + ": " + folder.error();
    scratch.folder = std::move(*folder);
    out = scratch.folder / path.filename();
  }
  const std::string file = utf8Path(path);
  const ProgramRun run = runProgram(signingCommand(signing, file, file, utf8Path(out)));
  if (!run.started) return step + ": it cannot be started" + toolSaid(run.output);
  if (run.exitCode != 0)
    return step + " (exit status " + std::to_string(run.exitCode) + ")" + toolSaid(run.output);
  if (out.empty()) return std::nullopt;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(out, ec))
    return step + ": it wrote no " + utf8Path(out) + toolSaid(run.output);
  std::filesystem::copy_file(out, path, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return step + ": cannot copy its output over " + file + ": " + ec.message();
  return std::nullopt;
}

SignedBytes signBytes(const SigningSpec& signing, std::span<const std::uint8_t> bytes,
                      std::string_view fileName, std::string_view what) {
  SignedBytes result;
  FolderGone scratch;
  auto folder = makePrivateFolder();
  if (!folder) {
    result.why = "signing " + std::string(what) + " failed: " + folder.error();
    return result;
  }
  scratch.folder = std::move(*folder);
  const std::filesystem::path file = scratch.folder / std::string(fileName);
  {
    std::ofstream f(file, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f.flush()) {
      result.why = "signing " + std::string(what) + " failed: cannot write " + utf8Path(file);
      return result;
    }
  }
  if (auto why = signFile(signing, file, what)) {
    result.why = std::move(*why);
    return result;
  }
  std::ifstream f(file, std::ios::binary);
  result.bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  if (result.bytes.empty()) result.why = "signing " + std::string(what) + " left an empty file";
  return result;
}

}  // namespace zorv
