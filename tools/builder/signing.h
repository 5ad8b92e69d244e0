// Signing the uninstaller and the setup.exe with the manifest's [signing] command, so that
// what the package carries and what is published are both signed. The command is run without
// a shell (run_program.h); secrets reach it through the environment, never the manifest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/builder/manifest.h"

namespace zorv {

// The command with "{file}", "{in}" and "{out}" in its arguments replaced by those paths.
std::vector<std::string> signingCommand(const SigningSpec& signing, const std::string& file,
                                        const std::string& in, const std::string& out);

// Signs the file at `path`: the command runs on it in place ("{file}"), or writes a signed copy
// into a private folder ("{in}", "{out}") that then takes the file's bytes. None when it
// worked; else the reason, which names `what` and holds the tool's own message.
std::optional<std::string> signFile(const SigningSpec& signing, const std::filesystem::path& path,
                                    std::string_view what);

struct SignedBytes {
  std::vector<std::uint8_t> bytes;
  std::string why;  // empty when signed
};
// `bytes` written to a private folder as `fileName`, signed there with signFile, read back.
SignedBytes signBytes(const SigningSpec& signing, std::span<const std::uint8_t> bytes,
                      std::string_view fileName, std::string_view what);

}  // namespace zorv
