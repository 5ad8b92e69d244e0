#include "platform/registry_store.h"

#include "platform/codepage.h"

namespace zorv {

namespace {

constexpr std::string_view kRootNames[] = {
    "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
    "HKEY_CURRENT_USER",  "HKEY_USERS",
};
constexpr RegRoot kRootOrder[] = {RegRoot::LocalMachine, RegRoot::ClassesRoot,
                                  RegRoot::CurrentConfig, RegRoot::CurrentUser, RegRoot::Users};

// The names of a key path; nullopt when the system would refuse it.
std::optional<std::vector<std::string_view>> splitKeyPath(std::string_view path) {
  std::vector<std::string_view> names;
  if (path.empty()) return names;
  if (path.front() == '\\') return std::nullopt;
  if (path.back() == '\\') path.remove_suffix(1);
  for (;;) {
    std::size_t sep = path.find('\\');
    std::string_view name = path.substr(0, sep);
    if (name.empty()) return std::nullopt;
    // A control character could end the line of the key in the REGEDIT4 file and start a
    // section of the package's choosing.
    for (unsigned char c : name)
      if (c < 0x20 || c == 0x7F) return std::nullopt;
    names.push_back(name);
    if (sep == std::string_view::npos) return names;
    path.remove_prefix(sep + 1);
  }
}

RegistryStore::Key* findSubKey(const RegistryStore::Key& key, std::string_view name) {
  for (const auto& sub : key.subKeys)
    if (equalsIgnoreCaseText(sub->name, name)) return sub.get();
  return nullptr;
}

// A value replaces one of the same name in its place, or joins the end of the list.
void putValue(RegistryStore::Key& key, RegValue value) {
  for (RegValue& old : key.values) {
    if (!equalsIgnoreCaseText(old.name, value.name)) continue;
    old.kind = value.kind;
    old.data = std::move(value.data);
    return;
  }
  key.values.push_back(std::move(value));
}

void addSections(const RegistryStore::Key& key, const std::string& path, RegFile& file) {
  for (const auto& sub : key.subKeys) {
    std::string subPath = path + "\\" + sub->name;
    file.sections.push_back({subPath, false, sub->values});
    addSections(*sub, subPath, file);
  }
}

}  // namespace

std::string_view regRootName(RegRoot root) { return kRootNames[static_cast<int>(root)]; }

std::optional<RegRoot> regRootFromName(std::string_view name) {
  for (RegRoot r : kRootOrder)
    if (equalsIgnoreCaseText(name, regRootName(r))) return r;
  return std::nullopt;
}

RegistryStore::RegistryStore() {
  for (RegRoot r : kRootOrder) root(r).name = std::string(regRootName(r));
}

RegistryStore::Key* RegistryStore::createKey(RegRoot r, std::string_view path, bool* created) {
  if (created) *created = false;
  auto names = splitKeyPath(path);
  if (!names) return nullptr;
  Key* key = &root(r);
  for (std::string_view name : *names) {
    Key* sub = findSubKey(*key, name);
    if (!sub) {
      key->subKeys.push_back(std::make_unique<Key>());
      sub = key->subKeys.back().get();
      sub->name = std::string(name);
      if (created) *created = true;
    }
    key = sub;
  }
  return key;
}

const RegistryStore::Key* RegistryStore::findKey(RegRoot r, std::string_view path) const {
  auto names = splitKeyPath(path);
  if (!names) return nullptr;
  const Key* key = &root(r);
  for (std::string_view name : *names)
    if (!(key = findSubKey(*key, name))) return nullptr;
  return key;
}

std::unique_ptr<RegistryStore::Key> RegistryStore::removeKey(RegRoot r, std::string_view path) {
  auto names = splitKeyPath(path);
  if (!names || names->empty()) return nullptr;
  Key* parent = &root(r);
  for (std::size_t i = 0; parent && i + 1 < names->size(); ++i)
    parent = findSubKey(*parent, (*names)[i]);
  if (!parent) return nullptr;
  for (auto it = parent->subKeys.begin(); it != parent->subKeys.end(); ++it) {
    if (!equalsIgnoreCaseText((*it)->name, names->back())) continue;
    std::unique_ptr<Key> key = std::move(*it);
    parent->subKeys.erase(it);
    return key;
  }
  return nullptr;
}

void RegistryStore::setString(Key& key, std::string_view name, std::string_view data) {
  putValue(key, {std::string(name), RegValue::Kind::String, std::string(data)});
}

void RegistryStore::setRaw(Key& key, std::string_view name, std::string_view text) {
  putValue(key, {std::string(name), RegValue::Kind::Raw, std::string(text)});
}

const RegValue* RegistryStore::findValue(const Key& key, std::string_view name) {
  for (const RegValue& value : key.values)
    if (equalsIgnoreCaseText(value.name, name)) return &value;
  return nullptr;
}

RegFile RegistryStore::toFile() const {
  RegFile file;
  for (RegRoot r : kRootOrder) {
    const Key& top = root(r);
    if (!top.values.empty()) file.sections.push_back({top.name, false, top.values});
    addSections(top, top.name, file);
  }
  return file;
}

bool RegistryStore::apply(const RegFile& file, std::string* why) {
  for (const RegSection& section : file.sections) {
    auto fail = [&](std::string_view reason) {
      if (why) *why = std::string(reason) + ": [" + section.key + "]";
      return false;
    };
    std::string_view full = section.key;
    std::size_t sep = full.find('\\');
    auto r = regRootFromName(full.substr(0, sep));
    if (!r) return fail("unknown root key");
    std::string_view path = sep == std::string_view::npos ? "" : full.substr(sep + 1);
    if (section.remove) {
      auto names = splitKeyPath(path);
      if (!names || names->empty()) return fail("a root key cannot be removed");
      removeKey(*r, path);
      continue;
    }
    Key* key = createKey(*r, path);
    if (!key) return fail("bad key path");
    for (const RegValue& value : section.values) {
      if (value.kind == RegValue::Kind::Remove) {
        std::erase_if(key->values,
                      [&](const RegValue& v) { return equalsIgnoreCaseText(v.name, value.name); });
      } else {
        putValue(*key, value);
      }
    }
  }
  return true;
}

}  // namespace zorv
