// The C++ runtime and the entry point of setup.exe and uninstall.exe, which are built without
// exceptions and without the start-up code of MinGW (see resources/CMakeLists.txt).
//
// The standard library's own code still reports impossible requests (a string over its
// maximum size, memory exhausted) through these calls, and its versions would throw, bringing
// in the unwinder, the demangler and a thread library: more than the whole setup weighs. In a
// setup that cannot go on after such a failure they end the process instead. Allocation that
// can fail gracefully uses the nothrow forms, which return null as usual.
#include <windows.h>

#include <cstdlib>
#include <new>

// The entry point, in place of MinGW's start-up code (crt2.o and the parts of libmingw32 that it
// calls), which is about 9 KB here: it also sets up command-line arguments for main(), handlers
// for signals and math errors, pseudo-relocations, thread-local storage and the floating-point
// unit, none of which these programs use. What they do rely on is done here in the same order:
// the constructors of namespace-scope objects (__main, which also registers their destructors
// with atexit), WinMain's arguments as the start-up code computes them, and exit() with
// WinMain's result.
extern "C" void __main();

// The import library of msvcrt.dll offers atexit only as data, since the start-up code brings
// its own: this one, which __main needs.
extern "C" int atexit(void (*function)()) {
  return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1;
}

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  __main();
  // The command line after the program's name: blanks end the name except inside double
  // quotes, and the blanks after it are skipped.
  char* line = GetCommandLineA();
  bool quoted = false;
  while (*line > ' ' || (*line && quoted)) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line && *line <= ' ') ++line;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, line, show));
}

namespace {

// The exit code that abort() would give, without its message box.
[[noreturn]] void outOfResources() { ExitProcess(3); }

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  outOfResources();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return std::malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return std::malloc(n == 0 ? 1 : n);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// The library's hooks for builds without exceptions (bits/functexcept.h): the ones that the
// setup's code can reach.
namespace std {
void __throw_bad_alloc() { outOfResources(); }
void __throw_bad_array_new_length() { outOfResources(); }
void __throw_length_error(const char*) { outOfResources(); }
void __throw_logic_error(const char*) { outOfResources(); }
void __throw_out_of_range(const char*) { outOfResources(); }
void __throw_out_of_range_fmt(const char*, ...) { outOfResources(); }
}  // namespace std
