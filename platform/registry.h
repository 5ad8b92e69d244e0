// The registry's part of the seam: reading a string value, creating a key and writing values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

enum class RegRoot { LocalMachine, ClassesRoot, CurrentConfig, CurrentUser, Users };

using KeyHandle = std::uintptr_t;
inline constexpr KeyHandle kNoKey = 0;

class Registry {
 public:
  virtual std::optional<std::string> readString(RegRoot root, std::string_view key,
                                                std::string_view value) = 0;
  // Creates or opens the key (all access).
  virtual KeyHandle createKey(RegRoot root, std::string_view key) = 0;
  // Writes REG_SZ with its NUL counted.
  virtual bool setString(KeyHandle key, std::string_view value, std::string_view data) = 0;
  // Writes REG_DWORD.
  virtual bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) = 0;
  virtual void closeKey(KeyHandle key) = 0;

 protected:
  ~Registry() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
