// The registry of the POSIX platform, held in memory: the five roots, their keys and sub-keys,
// and each key's values, all in the order of their creation. Key and value names compare
// without regard to case, as the system's registry does (code page 1251 letters included), and
// keep the spelling of their creation. The store converts to and from a REGEDIT4 file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/regedit4.h"

namespace zorv {

std::string_view regRootName(RegRoot root);  // "HKEY_LOCAL_MACHINE", ...
std::optional<RegRoot> regRootFromName(std::string_view name);

class RegistryStore {
 public:
  struct Key {
    std::string name;
    std::vector<RegValue> values;  // String and Raw values only
    std::vector<std::unique_ptr<Key>> subKeys;
  };

  RegistryStore();

  // Opens root\path, creating every missing key on the way, as RegCreateKeyEx does; an empty
  // path is the root itself and one trailing '\' is allowed. Null for a path the system
  // refuses: one that begins with '\' or has an empty name between two, and for a name with a
  // control character, which the file form cannot hold. `created` tells whether a key was added.
  Key* createKey(RegRoot root, std::string_view path, bool* created = nullptr);
  const Key* findKey(RegRoot root, std::string_view path) const;
  // Takes root\path out of the store with its values and sub-keys and hands it over; null when
  // there is no such key. A root itself is never removed.
  std::unique_ptr<Key> removeKey(RegRoot root, std::string_view path);

  // Writes a string value, replacing one of the same name in its place.
  static void setString(Key& key, std::string_view name, std::string_view data);
  // Writes a value of another type in its REGEDIT4 text form ("dword:0000002a").
  static void setRaw(Key& key, std::string_view name, std::string_view text);
  static const RegValue* findValue(const Key& key, std::string_view name);

  // Every key below the roots becomes a section, parents before children; a root becomes one
  // only when it holds values.
  RegFile toFile() const;
  // Imports a file as the registry editor would: sections create keys, values are set or
  // removed, [-key] removes a key with its sub-keys. Stops at the first section whose root is
  // unknown or whose path the system refuses, and says which in `why`.
  bool apply(const RegFile& file, std::string* why);

 private:
  Key& root(RegRoot r) { return roots_[static_cast<int>(r)]; }
  const Key& root(RegRoot r) const { return roots_[static_cast<int>(r)]; }

  Key roots_[5];
};

}  // namespace zorv
