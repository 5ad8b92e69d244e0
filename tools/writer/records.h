// Builders of record bodies in the layouts the setup reads. They do not check limits: the
// package builder validates its manifest first, and tests build malformed records on purpose.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "package/format.h"
#include "tools/writer/package_writer.h"

namespace zorv {

using Bytes = std::vector<std::uint8_t>;

struct TaggedRange {
  std::uint32_t tag = 0;
  PackedRange range;
};

// "AppN", "DirD", "DelD", "DelF", "RunS": a length byte counting the NUL, then the text.
Bytes nameRecord(std::string_view text);
// "Copy": a length byte without the NUL, name, NUL, file size, block count, the blocks.
Bytes copyRecord(std::string_view name, std::uint32_t fileSize,
                 std::span<const TaggedRange> blocks);
// "CopD": a length byte counting the NUL, name, NUL, member count, the members.
Bytes directoryRecord(std::string_view name, std::span<const TaggedRange> members);
// "Grup" and "Desk": two length bytes, link name, target.
Bytes linkRecord(std::string_view link, std::string_view target);
// "root": a length byte, two unread bytes, the root abbreviation, the key path.
Bytes rootRecord(std::string_view root, std::string_view keyPath);
// "UnIn": four length bytes, then the program, version, publisher and icon texts.
Bytes uninstallerRecord(std::string_view program, std::string_view version,
                        std::string_view publisher, std::string_view icon);
// "valr": two length bytes, an unread byte, value name, type string, data.
// CodePageRecord (package/code_page.h): the code page's number.
Bytes codePageRecord(std::uint32_t codePage);
// "Rels": the release features, one LE32.
Bytes releaseRecord(std::uint32_t features);
Bytes valueRecord(std::string_view name, std::string_view type, std::string_view data);

// Appends a file's data blocks (512,000 unpacked bytes each, the last holding the rest) and
// returns its CopyRecord body; the blocks lie just before wherever the record goes next.
Bytes addFileBlocks(PackageWriter& w, std::string_view name, std::span<const std::uint8_t> data,
                    std::uint32_t blockSize = kBlockSize);

}  // namespace zorv
