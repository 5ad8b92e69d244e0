// The driver's script: one step a line, words separated by blanks. A word in double quotes
// may hold blanks and the escapes \\ \" \n \t \xHH, so that a script can carry any byte
// (code page 1251 texts, a leading blank); an unquoted word is taken byte for byte, which
// keeps Windows paths readable. Lines that are empty or start with '#' hold no step.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

struct ScriptStep {
  int line = 0;                    // 1-based line number in the script, for reports
  std::vector<std::string> words;  // words[0] is the step's name
};

// Splits one line into words; nullopt with a reason for an unterminated quote or a bad escape.
std::optional<std::vector<std::string>> splitScriptLine(std::string_view line,
                                                        std::string* why = nullptr);

// Every step of a script text; nullopt with "line N: reason" at the first bad line.
std::optional<std::vector<ScriptStep>> parseScript(std::string_view text,
                                                   std::string* why = nullptr);

}  // namespace e2e
