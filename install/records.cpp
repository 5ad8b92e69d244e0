#include "install/records.h"

#include "package/byte_cursor.h"

namespace zorv {

namespace {

// A signed count followed by that many 16-byte items; a count of 0 or less means none. The
// items must fit in what is left of the body.
RangeList readRangeList(ByteCursor& c) {
  const std::int32_t count = c.i32();
  const std::size_t n = count > 0 ? std::size_t(count) : 0;
  if (n > c.remaining() / kTaggedRangeSize) {
    c.fail();
    return {};
  }
  return {c.bytes(n * kTaggedRangeSize)};
}

// A text that runs to the end of the body and ends with a NUL inside it.
std::string_view restText(ByteCursor& c) { return c.textField(c.remaining()); }

}  // namespace

RangeItem RangeList::operator[](std::uint32_t i) const {
  ByteCursor c(bytes.subspan(std::size_t(i) * kTaggedRangeSize, kTaggedRangeSize));
  RangeItem item;
  item.tag = c.u32();
  item.range.offset = c.u32();
  item.range.unpacked = c.u32();
  item.range.packed = c.u32();
  return item;
}

// 0: name length n, the NUL not counted; 1: name; 1 + n: NUL; 2 + n: file size;
// 6 + n: block count (signed); 10 + n: the blocks, 16 bytes each.
std::optional<CopyRecord> parseCopyRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  CopyRecord r;
  const std::size_t n = c.u8();
  r.name = c.textField(n + 1);
  if (r.name.size() != n) c.fail();  // a NUL before 1 + n
  r.fileSize = c.u32();
  r.blocks = readRangeList(c);
  if (!c.ok()) return std::nullopt;
  return r;
}

// 0: name length n, the NUL counted; 1: name; 1 + n: member count (signed); 5 + n: members.
std::optional<DirectoryRecord> parseDirectoryRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  DirectoryRecord r;
  r.name = c.textField(c.u8());
  r.members = readRangeList(c);
  if (!c.ok()) return std::nullopt;
  return r;
}

// 0: link length L1; 1: target length L2 (both count the NUL); 2: link; 2 + L1: target.
std::optional<LinkRecord> parseLinkRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  const std::size_t l1 = c.u8();
  const std::size_t l2 = c.u8();
  LinkRecord r;
  r.link = c.textField(l1);
  r.target = c.textField(l2);
  if (!c.ok()) return std::nullopt;
  return r;
}

// 0..3: four text lengths (NULs counted); 4: program, version, publisher, icon.
std::optional<UninstallerRecord> parseUninstallerRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  std::size_t lengths[4];
  for (std::size_t& l : lengths) l = c.u8();
  UninstallerRecord r;
  r.program = c.textField(lengths[0]);
  r.version = c.textField(lengths[1]);
  r.publisher = c.textField(lengths[2]);
  r.icon = c.textField(lengths[3]);
  if (!c.ok() || r.program.empty()) return std::nullopt;
  return r;
}

// 0: abbreviation length L1 (NUL counted); 1: two unread bytes; 3: abbreviation;
// 3 + L1: key path to the end of the body.
std::optional<RootRecord> parseRootRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  const std::size_t l1 = c.u8();
  c.skip(2);
  RootRecord r;
  r.root = c.textField(l1);
  r.keyPath = restText(c);
  if (!c.ok()) return std::nullopt;
  return r;
}

// 0: name length L1; 1: type length L2 (both count the NUL); 2: an unread byte; 3: name;
// 3 + L1: type; 3 + L1 + L2: data to the end of the body.
std::optional<ValueRecord> parseValueRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  const std::size_t l1 = c.u8();
  const std::size_t l2 = c.u8();
  c.skip(1);
  ValueRecord r;
  r.name = c.textField(l1);
  r.type = c.textField(l2);
  r.data = restText(c);
  if (!c.ok()) return std::nullopt;
  return r;
}

// 0: a length byte that packages fill but nothing reads; 1: the text, up to its NUL, which
// must lie inside the body.
std::optional<std::string_view> parseNameRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  c.skip(1);
  const std::string_view text = restText(c);
  if (!c.ok()) return std::nullopt;
  return text;
}

// Each record's use, field by field as its parser above reads it: fixed fields, texts with
// their NULs, list items.
std::size_t recordSlack(const CopyRecord& r, std::size_t bodySize) {
  return bodySize - (1 + r.name.size() + 1 + 4 + 4 + r.blocks.bytes.size());
}

std::size_t recordSlack(const DirectoryRecord& r, std::size_t bodySize) {
  return bodySize - (1 + r.name.size() + 1 + 4 + r.members.bytes.size());
}

std::size_t recordSlack(const LinkRecord& r, std::size_t bodySize) {
  return bodySize - (2 + r.link.size() + 1 + r.target.size() + 1);
}

std::size_t recordSlack(const RootRecord& r, std::size_t bodySize) {
  return bodySize - (3 + r.root.size() + 1 + r.keyPath.size() + 1);
}

std::size_t recordSlack(const ValueRecord& r, std::size_t bodySize) {
  return bodySize - (3 + r.name.size() + 1 + r.type.size() + 1 + r.data.size() + 1);
}

std::size_t recordSlack(const UninstallerRecord& r, std::size_t bodySize) {
  return bodySize - (4 + r.program.size() + 1 + r.version.size() + 1 + r.publisher.size() + 1 +
                     r.icon.size() + 1);
}

std::size_t nameRecordSlack(std::string_view text, std::size_t bodySize) {
  return bodySize - (1 + text.size() + 1);
}

std::uint8_t nameRecordLength(std::span<const std::uint8_t> body) {
  return body.empty() ? 0 : body[0];
}

// readRangeList takes the items right after the count.
std::int32_t statedCount(const RangeList& list) {
  ByteCursor c({list.bytes.data() - 4, 4});
  return c.i32();
}

}  // namespace zorv
