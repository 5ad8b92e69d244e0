#include "wizard/setup_arguments.h"

namespace zorv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The program's name: up to its closing quote when quoted, else up to the first blank.
std::size_t skipProgramName(std::string_view line) {
  if (!line.empty() && line.front() == '"') {
    const std::size_t end = line.find('"', 1);
    return end == std::string_view::npos ? line.size() : end + 1;
  }
  std::size_t i = 0;
  while (i < line.size() && !isBlank(line[i])) ++i;
  return i;
}

bool isSwitch(std::string_view word, char letter) {
  return word.size() == 2 && word[0] == '/' && (word[1] == letter || word[1] == letter + 32);
}

}  // namespace

SetupArguments parseSetupArguments(std::string_view line) {
  SetupArguments args;
  std::size_t i = skipProgramName(line);
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) break;
    const std::string_view rest = line.substr(i);
    if (rest.size() >= 3 && rest[0] == '/' && (rest[1] == 'D' || rest[1] == 'd') &&
        rest[2] == '=') {
      std::string_view dir = rest.substr(3);
      while (!dir.empty() && isBlank(dir.back())) dir.remove_suffix(1);
      args.destination = std::string(dir);
      break;  // the rest of the line is the folder's
    }
    std::size_t end = i;
    while (end < line.size() && !isBlank(line[end])) ++end;
    if (isSwitch(line.substr(i, end - i), 'S')) args.silent = true;
    i = end;
  }
  return args;
}

}  // namespace zorv
