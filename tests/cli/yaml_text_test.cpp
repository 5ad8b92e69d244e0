// YAML scalars and documents as the winget manifests need them. What a YAML reader makes of
// them is checked end to end (tests/cli/winget_test.py reads every manifest with PyYAML).
#include "tools/winget/yaml_text.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(YamlScalar, PlainOnlyWhereItReadsBackTheSame) {
  const struct {
    std::string value;
    const char* scalar;
  } rows[] = {
      // Plain: nothing in them means anything else.
      {"Zorv Demo", "Zorv Demo"},
      {"/S", "/S"},
      {"/D=<INSTALLPATH>", "/D=<INSTALLPATH>"},
      {"https://example.com/a?b=c", "https://example.com/a?b=c"},
      {"1.10.0", "1.10.0"},  // two dots: no number in either version
      {"v1.0", "v1.0"},
      {"key:value", "key:value"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9"},
      // Numbers and dates of YAML 1.1 or 1.2.
      {"1.0", "'1.0'"},
      {"1", "'1'"},
      {"-1", "'-1'"},
      {".5", "'.5'"},
      {"1e3", "'1e3'"},
      {"1_000", "'1_000'"},
      {"1:30", "'1:30'"},
      {"0x1F", "'0x1F'"},
      {"0b101", "'0b101'"},
      {".inf", "'.inf'"},
      {"2024-01-31", "'2024-01-31'"},
      // Booleans, null and the keys of YAML 1.1.
      {"yes", "'yes'"},
      {"No", "'No'"},
      {"ON", "'ON'"},
      {"y", "'y'"},
      {"null", "'null'"},
      {"~", "'~'"},
      {"<<", "'<<'"},
      {"=", "'='"},
      // Indicators, comments, blanks at the ends.
      {"", "''"},
      {" lead", "' lead'"},
      {"trail ", "'trail '"},
      {"- item", "'- item'"},
      {"-S", "'-S'"},
      {": x", "': x'"},
      {"[list]", "'[list]'"},
      {"*alias", "'*alias'"},
      {"\"quoted\"", "'\"quoted\"'"},
      {"'single'", "'''single'''"},
      {"a: b", "'a: b'"},
      {"a-b: c", "'a-b: c'"},
      {"ends:", "'ends:'"},
      {"a #b", "'a #b'"},
      {"C#", "'C#'"},
      {"it's", "it's"},  // a quote inside a plain scalar is just a character
      // Characters that may not stand unescaped on a line: double quotes and escapes.
      {"tab\there", "\"tab\\there\""},
      {"two\nlines", "\"two\\nlines\""},
      {std::string("nul\0x", 5), "\"nul\\x00x\""},
      {"del\x7F", "\"del\\x7F\""},
      {"next\xC2\x85line", "\"next\\x85line\""},  // U+0085, a line break in 1.1
      {"ls\xE2\x80\xA8", "\"ls\\u2028\""},        // U+2028
      {"bom\xEF\xBB\xBF", "\"bom\\uFEFF\""},
      {"\"q\" \\ \x01", "\"\\\"q\\\" \\\\ \\x01\""},
      {"caf\xE9", "\"caf\\xE9\""},                          // not UTF-8: the byte's character
      {"\xC3\xA9t\xC3\xA9\n", "\"\xC3\xA9t\xC3\xA9\\n\""},  // UTF-8 stays as it is
  };
  for (const auto& r : rows) EXPECT_EQ(yamlScalar(r.value), r.scalar) << "value: " << r.value;
}

}  // namespace
}  // namespace zorv
