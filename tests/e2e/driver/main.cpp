// zorv_e2e_driver --setup C:\x\setup.exe --script FILE --out FILE [--shots DIR] [--cwd DIR]
// Plays the script against the setup and writes the JSON report; exit code 0 when every step
// passed, 1 when one failed, 2 for a bad command line or script.
#include <cstdio>
#include <string>

#include "tests/e2e/driver/driver.h"

namespace {

bool readFile(const std::string& path, std::string& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return true;
}

bool writeFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

int usage(const char* why) {
  std::fprintf(stderr, "zorv_e2e_driver: %s\n", why);
  std::fprintf(stderr,
               "usage: zorv_e2e_driver --setup EXE --script FILE --out FILE [--shots DIR] "
               "[--cwd DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  e2e::DriverOptions options;
  std::string scriptPath, outPath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
    std::string value = argv[++i];
    if (arg == "--setup")
      options.setupPath = value;
    else if (arg == "--script")
      scriptPath = value;
    else if (arg == "--out")
      outPath = value;
    else if (arg == "--shots")
      options.shotsDir = value;
    else if (arg == "--cwd")
      options.workingDir = value;
    else
      return usage(("unknown option " + arg).c_str());
  }
  if (options.setupPath.empty() || scriptPath.empty() || outPath.empty())
    return usage("--setup, --script and --out are needed");
  std::string text;
  if (!readFile(scriptPath, text)) return usage(("cannot read " + scriptPath).c_str());
  std::string why;
  auto steps = e2e::parseScript(text, &why);
  if (!steps) return usage(why.c_str());

  e2e::Driver driver(options);
  bool ok = driver.play(*steps);
  if (!writeFile(outPath, driver.report())) {
    std::fprintf(stderr, "zorv_e2e_driver: cannot write %s\n", outPath.c_str());
    return 2;
  }
  return ok ? 0 : 1;
}
