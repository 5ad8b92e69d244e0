// The C++ runtime of setup.exe, which is built without exceptions (see resources/).
//
// The standard library's own code still reports impossible requests (a string over its
// maximum size, memory exhausted) through these calls, and its versions would throw, bringing
// in the unwinder, the demangler and a thread library: more than the whole setup weighs. In a
// setup that cannot go on after such a failure they end the process instead. Allocation that
// can fail gracefully uses the nothrow forms, which return null as usual.
#include <windows.h>

#include <cstdlib>
#include <new>

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
