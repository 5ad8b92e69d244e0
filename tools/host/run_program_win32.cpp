#include <windows.h>

#include <string>

#include "tools/host/run_program.h"

namespace zorv {

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(std::size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// blank or a quote or is empty, backslashes doubled before a quote.
void appendArgument(std::wstring& line, const std::wstring& arg) {
  if (!line.empty()) line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

}  // namespace

ProgramRun runProgram(std::span<const std::string> command) {
  ProgramRun run;
  std::wstring line;
  for (const std::string& arg : command) appendArgument(line, wide(arg));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) {
    run.output = "cannot make a pipe (error " + std::to_string(GetLastError()) + ")";
    return run;
  }
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = write;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(write);
  if (!started) {
    run.output = "cannot start it (error " + std::to_string(GetLastError()) + ")";
    CloseHandle(read);
    return run;
  }
  run.started = true;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0)
    if (run.output.size() < (64u << 10)) run.output.append(buffer, n);
  CloseHandle(read);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  run.exitCode = int(code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

std::expected<std::filesystem::path, std::string> makePrivateFolder() {
  // The user's own temporary folder; a name that is taken is passed over for another.
  std::error_code ec;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  for (int attempt = 0; attempt < 16; ++attempt) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::filesystem::path folder = temp / ("zorv-" + std::to_string(GetCurrentProcessId()) +
                                                 "-" + std::to_string(now.QuadPart % 1000000007));
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::unexpected("cannot make a folder in the temporary folder (error " +
                         std::to_string(GetLastError()) + ")");
}

}  // namespace zorv
