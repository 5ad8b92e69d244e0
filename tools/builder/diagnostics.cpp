#include "tools/builder/diagnostics.h"

#include <algorithm>

namespace zorv {

std::string Diagnostic::text() const {
  std::string s = file;
  if (line > 0) s += ":" + std::to_string(line);
  s += warning ? ": warning: " : ": error: ";
  return s + message;
}

bool Diagnostics::hasErrors() const { return errorCount() > 0; }

std::size_t Diagnostics::errorCount() const {
  return static_cast<std::size_t>(
      std::count_if(items_.begin(), items_.end(), [](const Diagnostic& d) { return !d.warning; }));
}

std::string Diagnostics::text() const {
  std::string s;
  for (const Diagnostic& d : items_) s += d.text() + "\n";
  return s;
}

}  // namespace zorv
