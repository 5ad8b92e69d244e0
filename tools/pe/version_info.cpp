#include "tools/pe/version_info.h"

#include <charconv>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"
#include "platform/utf8.h"

namespace zorv {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Node: wLength (the node's bytes, without padding after its last child), wValueLength (in
// UTF-16 units for a text value, in bytes for a binary one), wType (1: text, 0: binary).
constexpr std::size_t kNodeHeaderSize = 6;
constexpr std::uint16_t kTypeBinary = 0;
constexpr std::uint16_t kTypeText = 1;
// The tree is VS_VERSION_INFO > StringFileInfo > string table > String, or > VarFileInfo > Var.
constexpr int kMaxDepth = 4;

// VS_FIXEDFILEINFO: 13 u32 fields.
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedStructVersion = 0x00010000;
constexpr std::uint32_t kFileFlagsMask = 0x3F;
constexpr std::uint32_t kFileOsNtWindows32 = 0x00040004;
constexpr std::uint32_t kFileTypeApp = 1;

std::size_t align4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

// A node to write; its children are written after its value, each at a 4-byte boundary.
struct OutNode {
  std::u16string key;
  std::uint16_t type = kTypeBinary;
  Bytes value;
  std::uint16_t valueLength = 0;
  std::vector<OutNode> children;
};

void write(const OutNode& n, ByteWriter& out) {
  const std::size_t start = out.size();
  out.u16(0);  // wLength, set below
  out.u16(n.valueLength);
  out.u16(n.type);
  out.utf16(n.key);
  out.u16(0);
  out.padTo(4);
  out.bytes(n.value);
  for (const OutNode& child : n.children) {
    out.padTo(4);
    write(child, out);
  }
  out.patch16(start, std::uint16_t(out.size() - start));
}

OutNode textNode(std::string_view name, std::string_view text) {
  OutNode n{utf8ToUtf16(name), kTypeText, {}, 0, {}};
  const std::u16string units = utf8ToUtf16(text);
  ByteWriter value(n.value);
  value.utf16(units);
  value.u16(0);
  n.valueLength = static_cast<std::uint16_t>(units.size() + 1);
  return n;
}

std::string hex4(std::uint16_t v) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i, v = std::uint16_t(v >> 4)) s[std::size_t(i)] = kDigits[v & 15];
  return s;
}

// A node's key for a message, in quotes.
std::string quoted(std::u16string_view key) { return "\"" + utf16ToUtf8(key) + "\""; }

// A node as read: its key, type, value bytes and children, all views into the resource.
struct InNode {
  std::u16string key;
  std::uint16_t type = 0;
  std::span<const std::uint8_t> value;
  std::vector<InNode> children;
};

// The node at `offset`, which must end by `end` (its parent's end). Its key runs to a NUL
// inside the node; its value follows at a 4-byte boundary; its children fill the rest, each at
// a 4-byte boundary.
std::expected<InNode, std::string> readNode(std::span<const std::uint8_t> res, std::size_t offset,
                                            std::size_t end, int depth) {
  InNode node;
  ByteCursor c = ByteCursor(res.first(end)).at(offset);
  const std::size_t length = c.u16();
  const std::size_t valueLength = c.u16();
  node.type = c.u16();
  if (!c.ok()) return std::unexpected("a node's header runs past the end of its parent");
  if (length < kNodeHeaderSize || length > end - offset)
    return std::unexpected("a node's length (" + std::to_string(length) +
                           ") does not lie inside its parent");
  const std::size_t nodeEnd = offset + length;
  c = ByteCursor(res.first(nodeEnd)).at(offset + kNodeHeaderSize);
  for (char16_t u = c.u16(); c.ok() && u != 0; u = c.u16()) node.key += u;
  if (!c.ok()) return std::unexpected("a node's key does not end inside the node");
  if (node.type != kTypeBinary && node.type != kTypeText)
    return std::unexpected("the node " + quoted(node.key) + " has type " +
                           std::to_string(node.type) + " (0 or 1 expected)");
  const std::size_t valueStart = align4(offset + c.position() + kNodeHeaderSize);
  const std::size_t valueSize = node.type == kTypeText ? 2 * valueLength : valueLength;
  if (valueSize > 0 && (valueStart > nodeEnd || valueSize > nodeEnd - valueStart))
    return std::unexpected("the value of " + quoted(node.key) + " runs past the end of its node");
  if (valueSize > 0) node.value = res.subspan(valueStart, valueSize);
  std::size_t at = align4(valueStart + valueSize);
  while (at < nodeEnd) {
    if (depth + 1 >= kMaxDepth)
      return std::unexpected("the node " + quoted(node.key) + " has children nested too deep");
    auto child = readNode(res, at, nodeEnd, depth + 1);
    if (!child) return child;
    const std::size_t childLength = ByteCursor(res).at(at).u16();
    node.children.push_back(std::move(*child));
    at = align4(at + childLength);
  }
  return node;
}

// The units up to the first NUL or the end of the value; an odd last byte is no unit.
std::u16string textValue(std::span<const std::uint8_t> value) {
  std::u16string out;
  ByteCursor c(value);
  for (char16_t u = c.u16(); c.ok() && u != 0; u = c.u16()) out += u;
  return out;
}

void readFixedInfo(std::span<const std::uint8_t> value, VersionInfo& info) {
  ByteCursor c(value);
  c.skip(8);  // signature and structure version, checked by the caller
  for (VersionNumbers* v : {&info.fileVersion, &info.productVersion}) {
    const std::uint32_t ms = c.u32(), ls = c.u32();
    *v = {std::uint16_t(ms >> 16), std::uint16_t(ms), std::uint16_t(ls >> 16), std::uint16_t(ls)};
  }
}

// A string table's key: eight hexadecimal digits, the language and the code page.
bool readTableKey(const std::u16string& key, VersionInfo& info) {
  if (key.size() != 8) return false;
  std::uint32_t v = 0;
  for (char16_t u : key) {
    const int d = u >= '0' && u <= '9'   ? u - '0'
                  : u >= 'A' && u <= 'F' ? u - 'A' + 10
                  : u >= 'a' && u <= 'f' ? u - 'a' + 10
                                         : -1;
    if (d < 0) return false;
    v = v << 4 | std::uint32_t(d);
  }
  info.language = std::uint16_t(v >> 16);
  info.codePage = std::uint16_t(v);
  return true;
}

}  // namespace

std::vector<std::uint8_t> versionResourceBytes(const VersionInfo& info) {
  OutNode root{u"VS_VERSION_INFO", kTypeBinary, {}, std::uint16_t(kFixedInfoSize), {}};
  ByteWriter fixed(root.value);
  fixed.u32(kFixedSignature);
  fixed.u32(kFixedStructVersion);
  for (const VersionNumbers& v : {info.fileVersion, info.productVersion}) {
    fixed.u32(std::uint32_t(v[0]) << 16 | v[1]);
    fixed.u32(std::uint32_t(v[2]) << 16 | v[3]);
  }
  for (std::uint32_t field : {kFileFlagsMask, 0u, kFileOsNtWindows32, kFileTypeApp, 0u, 0u, 0u})
    fixed.u32(field);

  OutNode table{utf8ToUtf16(hex4(info.language) + hex4(info.codePage)), kTypeText, {}, 0, {}};
  for (const auto& [name, text] : info.strings) table.children.push_back(textNode(name, text));
  OutNode strings{u"StringFileInfo", kTypeText, {}, 0, {std::move(table)}};
  OutNode translation{u"Translation", kTypeBinary, {}, 4, {}};
  ByteWriter languageAndCodePage(translation.value);
  languageAndCodePage.u16(info.language);
  languageAndCodePage.u16(info.codePage);
  OutNode vars{u"VarFileInfo", kTypeText, {}, 0, {std::move(translation)}};
  root.children.push_back(std::move(strings));
  root.children.push_back(std::move(vars));

  Bytes out;
  ByteWriter w(out);
  write(root, w);
  return out;
}

std::expected<VersionInfo, std::string> parseVersionResource(std::span<const std::uint8_t> bytes) {
  auto read = readNode(bytes, 0, bytes.size(), 0);
  if (!read) return std::unexpected(std::move(read.error()));
  const InNode& root = *read;
  if (root.key != u"VS_VERSION_INFO")
    return std::unexpected("the root node is " + quoted(root.key) + ", not VS_VERSION_INFO");
  ByteCursor fixed(root.value);
  const std::uint32_t signature = fixed.u32();
  if (root.value.size() != kFixedInfoSize || signature != kFixedSignature)
    return std::unexpected("the root holds no VS_FIXEDFILEINFO (52 bytes starting with FEEF04BD)");
  VersionInfo info;
  readFixedInfo(root.value, info);
  info.language = info.codePage = 0;
  for (const InNode& child : root.children) {
    if (child.key != u"StringFileInfo" || child.children.empty()) continue;
    const InNode& table = child.children.front();
    if (!readTableKey(table.key, info))
      return std::unexpected("the string table " + quoted(table.key) +
                             " is not named by 8 hex digits");
    for (const InNode& s : table.children)
      info.strings.emplace_back(utf16ToUtf8(s.key), utf16ToUtf8(textValue(s.value)));
    break;
  }
  return info;
}

ParsedVersion parseVersionText(std::string_view text) {
  ParsedVersion v;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t at = 0;
  for (std::size_t i = 0;; ++i) {
    if (at >= text.size() || !digit(text[at])) {
      v.problem = "does not start with a number";
      return v;
    }
    std::size_t end = at;
    while (end < text.size() && digit(text[end])) ++end;
    const std::string_view number = text.substr(at, end - at);
    unsigned n = 0;
    auto [stop, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (ec != std::errc() || n > 0xFFFF) {
      v.problem = "has the number " + std::string(number) + ", over 65535";
      return v;
    }
    v.numbers[i] = static_cast<std::uint16_t>(n);
    at = end;
    const bool more = at + 1 < text.size() && text[at] == '.' && digit(text[at + 1]);
    if (!more) break;
    if (i + 1 == v.numbers.size()) {
      v.problem = "has more than four numbers";
      return v;
    }
    ++at;
  }
  v.suffix = text.substr(at);
  return v;
}

}  // namespace zorv
