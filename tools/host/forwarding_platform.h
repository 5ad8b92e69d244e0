// A Platform that hands every call to another one: the base of the tool's platforms that watch
// or change a few calls (the messages a run shows, the folders it makes) and leave the rest to
// the system's platform.
#pragma once

#include "platform/platform.h"

namespace zorv {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  std::optional<std::string> currentDirectory() override { return inner_.currentDirectory(); }
  bool setCurrentDirectory(std::string_view dir) override {
    return inner_.setCurrentDirectory(dir);
  }
  bool startProcess(std::string_view application, std::string_view commandLine) override {
    return inner_.startProcess(application, commandLine);
  }
  SystemTime utcNow() override { return inner_.utcNow(); }

  bool pathExists(std::string_view path) override { return inner_.pathExists(path); }
  bool createDirectory(std::string_view path) override { return inner_.createDirectory(path); }
  void deleteFile(std::string_view path) override { inner_.deleteFile(path); }
  FileHandle openOutputFile(std::string_view path) override {
    return inner_.openOutputFile(path);
  }
  FileHandle openAppendFile(std::string_view path) override {
    return inner_.openAppendFile(path);
  }
  bool replaceFile(std::string_view from, std::string_view to) override {
    return inner_.replaceFile(from, to);
  }
  bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) override {
    return inner_.writeFile(file, bytes);
  }
  void closeFile(FileHandle file) override { inner_.closeFile(file); }
  std::optional<std::uint64_t> freeBytes(std::string_view path) override {
    return inner_.freeBytes(path);
  }

  std::optional<std::string> readString(RegRoot root, std::string_view key,
                                        std::string_view value) override {
    return inner_.readString(root, key, value);
  }
  KeyHandle createKey(RegRoot root, std::string_view key) override {
    return inner_.createKey(root, key);
  }
  bool setString(KeyHandle key, std::string_view value, std::string_view data) override {
    return inner_.setString(key, value, data);
  }
  bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) override {
    return inner_.setDword(key, value, data);
  }
  void closeKey(KeyHandle key) override { inner_.closeKey(key); }

  std::optional<std::string> specialFolder(SpecialFolder folder) override {
    return inner_.specialFolder(folder);
  }
  bool beginLinks(std::string_view workingDirectory) override {
    return inner_.beginLinks(workingDirectory);
  }
  bool saveLink(std::string_view linkPath, std::string_view target,
                std::string_view description) override {
    return inner_.saveLink(linkPath, target, description);
  }
  void endLinks() override { inner_.endLinks(); }

  bool askRetry(std::string_view text, std::string_view caption) override {
    return inner_.askRetry(text, caption);
  }
  bool isFolder(std::string_view path) override { return inner_.isFolder(path); }
  std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) override {
    return inner_.readFileStart(path, limit);
  }
  void messageBox(std::string_view text, std::string_view caption) override {
    inner_.messageBox(text, caption);
  }

 private:
  Platform& inner_;
};

}  // namespace zorv
