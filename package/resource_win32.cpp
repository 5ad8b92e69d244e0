// The package stream over a resource of the running module: "#101" of the given type.
#include <windows.h>

#include "package/resource_stream.h"

namespace zorv {

// A resource that is found but cannot be loaded or locked counts as missing.
ResourceStream createResourceStream(void* module, const char* type) {
  HMODULE m = static_cast<HMODULE>(module);
  HRSRC info = FindResourceA(m, MAKEINTRESOURCEA(101), type);
  if (info == nullptr) return ResourceStream::missing();
  DWORD size = SizeofResource(m, info);
  HGLOBAL handle = LoadResource(m, info);
  if (handle == nullptr) return ResourceStream::missing();
  const void* data = LockResource(handle);
  if (data == nullptr) return ResourceStream::missing();
  return ResourceStream({static_cast<const std::uint8_t*>(data), size});
}

}  // namespace zorv
