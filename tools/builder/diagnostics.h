// Errors and warnings about a manifest, each with the line it concerns, printed the way
// compilers do ("zorv.toml:12: error: ...") so that editors can jump to them.
#pragma once

#include <string>
#include <vector>

namespace zorv {

struct Diagnostic {
  std::string file;
  int line = 0;  // 0: the message concerns the whole file
  bool warning = false;
  std::string message;
  std::string text() const;
};

class Diagnostics {
 public:
  void error(const std::string& file, int line, std::string message) {
    items_.push_back({file, line, false, std::move(message)});
  }
  void warning(const std::string& file, int line, std::string message) {
    items_.push_back({file, line, true, std::move(message)});
  }
  bool hasErrors() const;
  std::size_t errorCount() const;
  const std::vector<Diagnostic>& items() const { return items_; }
  // Every message, one a line.
  std::string text() const;

 private:
  std::vector<Diagnostic> items_;
};

}  // namespace zorv
