// The REGEDIT4 text form of registry contents, as the system's registry editor imports and
// exports it (and Wine's regedit with it):
//
//   REGEDIT4                                   the first line, alone
//                                              blank lines anywhere
//   [HKEY_LOCAL_MACHINE\SoftWare\Zantrel\Demo] a key, with its root's full name
//   "Name"="data"                              a string value; \\ and \" escape, \n and \r too
//   @="data"                                   the key's default value
//   "Count"=dword:00000001                     other types, kept here as opaque text
//   "Blob"=hex(2):41,00,\                      hex data may continue on the next line
//     42,00
//   "Old"=-                                    removes a value
//   [-HKEY_CURRENT_USER\Software\Old]          removes a key and everything below it
//   ; a comment
//
// The text is the system's ANSI code page (1251 for the Russian texts): bytes of 0x80 and above
// pass through unchanged. Lines end in CR LF when written; LF, CR LF and a lone CR are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

struct RegValue {
  enum class Kind {
    String,  // data holds the text, escapes resolved
    Raw,     // data holds the text after '=' ("dword:0000002a", "hex(2):41,00"), one line
    Remove,  // "name"=- : the value is to be removed; data is empty
  };
  std::string name;  // empty for the default value "@"
  Kind kind = Kind::String;
  std::string data;

  bool operator==(const RegValue&) const = default;
};

struct RegSection {
  std::string key;  // full path, beginning with the root's name, as written between the brackets
  bool remove = false;  // [-key]: the key and its sub-keys are to be removed; no values follow
  std::vector<RegValue> values;

  bool operator==(const RegSection&) const = default;
};

struct RegFile {
  std::vector<RegSection> sections;  // in file order; a key may appear in several sections
};

// Reads a REGEDIT4 file. Fails, with the line number and the reason in `why`, on a missing
// header, a value before the first key, an unterminated or badly escaped string, text after a
// value, a malformed dword or hex value, or a line that is none of the forms above.
std::optional<RegFile> parseRegedit4(std::string_view text, std::string* why = nullptr);

// Writes the file: the header, a blank line, then each section followed by a blank line, every
// line ended by CR LF. Value names and string data are escaped; an empty name is written "@".
std::string formatRegedit4(const RegFile& file);

// "dword:" and eight lower-case hex digits.
std::string dwordText(std::uint32_t value);

// Escapes a name or string data for the inside of a pair of quotes.
std::string escapeRegString(std::string_view text);

// The value a file leaves behind after an import: the last String or Raw value of that name
// (compared without regard to case, like the key), unless a later "=-" or [-key] removed it.
// Null when there is none.
const RegValue* findRegValue(const RegFile& file, std::string_view key, std::string_view name);

}  // namespace zorv
