// Shell links (.lnk files) in the Shell Link Binary File Format, as the system's shell link
// object saves them after SetPath, SetDescription and SetWorkingDirectory on a local file:
//
//   ShellLinkHeader    76 bytes: size 0x4C, CLSID {00021401-0000-0000-C000-000000000046},
//                      link flags, the target's attributes, times and size, show command 1
//   LinkTargetIDList   the target as an item ID list: My Computer, the drive "C:\", then one
//                      simple file-system item per path element (name in ANSI, no extension
//                      blocks), as SHSimpleIDListFromPath makes it; only for a path with a
//                      drive letter
//   LinkInfo           VolumeID (fixed drive, no serial, no label) and LocalBasePath, in ANSI and
//                      in UTF-16
//   StringData         NAME_STRING (the description) and WORKING_DIR, in UTF-16 (IsUnicode);
//                      each only when not empty
//   ExtraData          the terminal block alone
//
// Texts come in as ANSI bytes of the fields' code page (1251 unless told) and are widened with
// that code page wherever the format stores UTF-16, so a reader sees the same names the system
// would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

// FILE_ATTRIBUTE_* values for the header and the last item of the ID list.
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;

struct ShellLinkFields {
  std::string target;            // full Windows path of the target, "C:\Apps\Demo\demo.exe"
  std::string description;       // empty: no NAME_STRING
  std::string workingDirectory;  // empty: no WORKING_DIR
  int codePage = 1251;           // of the three texts: 1251 or 1252
  // What the shell finds out about an existing target; all zero for a missing one.
  std::uint32_t fileAttributes = 0;
  std::uint32_t fileSize = 0;  // the low 32 bits, as the header holds them
  std::uint64_t creationTime = 0, accessTime = 0, writeTime = 0;  // FILETIME, UTC
};

// The bytes of the .lnk file. Empty when a text is too long for its 16-bit count (65535
// characters, or a path element of more than about 65000 bytes).
std::vector<std::uint8_t> makeShellLink(const ShellLinkFields& fields);

// The Windows form of a path for a link: '/' becomes '\', and an absolute POSIX path gets the
// drive Z:, which Wine maps to the root of the file system, so "/opt/demo/run" reads
// "Z:\opt\demo\run". A path that already has a drive letter, or is relative, keeps its form; a
// UNC path ("\\server\share") is left as it is.
std::string windowsPathForLink(std::string_view path);

// Seconds and nanoseconds since 1970 as a FILETIME (100 ns units since 1601); 0 before 1601.
std::uint64_t fileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace zorv
