#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/host/run_program.h"

extern char** environ;

namespace zorv {

ProgramRun runProgram(std::span<const std::string> command) {
  ProgramRun run;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) {
    run.output = std::string("cannot make a pipe: ") + std::strerror(errno);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (error != 0) {
    ::close(pipe[0]);
    run.output = std::strerror(error);
    return run;
  }
  run.started = true;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (run.output.size() < (64u << 10)) run.output.append(buffer, std::size_t(n));
  }
  ::close(pipe[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::expected<std::filesystem::path, std::string> makePrivateFolder() {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "zorv-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
    return std::unexpected("cannot make a folder in the temporary folder: " +
                           std::string(std::strerror(errno)));
  }
  return pattern;
}

}  // namespace zorv
