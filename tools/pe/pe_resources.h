// Resources of 32-bit Windows executables, read and written without the Win32 API: the setup
// tools find the package inside a built setup.exe and write a stub carrying a new package.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

// True when the bytes start like a PE image: an MZ header whose e_lfanew leads to "PE\0\0", a
// file header, an optional header and a section table that all lie inside the bytes.
bool looksLikePe(std::span<const std::uint8_t> image);

// True when the image carries a certificate table (an Authenticode signature): its security
// directory is not empty and lies in the file, after the headers.
bool hasSignature(std::span<const std::uint8_t> image);

// The bytes of the resource (type, id) in its first language, as a view into `image`.
// `type` is a name compared without regard to ASCII case, as FindResource does, or "#n" for
// the integer type n. The image is untrusted: every offset is checked, and a damaged or
// cyclic directory yields the reason instead.
std::expected<std::span<const std::uint8_t>, std::string> findPeResource(
    std::span<const std::uint8_t> image, std::string_view type, std::uint16_t id);

// A copy of `stub` that carries `data` as the resource (type, id). Every other resource of the
// stub is kept with its language and code page; an existing (type, id) is replaced, keeping
// the language of its first instance (a new one is language-neutral). The resource section is
// rebuilt in place when it is the image's last section, else appended as a new last section.
// Headers, sizes and the checksum are made consistent, and anything after the last section
// (an overlay, an old signature) is dropped, so the result can be signed. Refused, with a
// reason, unless the stub is a well-formed PE32 i386 executable.
std::expected<std::vector<std::uint8_t>, std::string> setPeResource(
    std::span<const std::uint8_t> stub, std::string_view type, std::uint16_t id,
    std::span<const std::uint8_t> data);

// One change to an image's resources, for editPeResources. (type, id) gets `data` in place of
// every language it had, keeping the language of its first instance; a new one takes
// `language`. With `remove`, every instance of (type, id) goes.
struct PeResourceEdit {
  std::string type;  // a name, or "#n"
  std::uint16_t id = 0;
  std::span<const std::uint8_t> data;  // a view: it must outlive the call
  std::uint16_t language = 0;
  bool remove = false;
  // For editPeResourcesSplit: `deferredSize` bytes that the caller writes in later.
  bool deferred = false;
  std::uint32_t deferredSize = 0;
};

// A copy of `stub` with the edits made in order, rebuilt and made consistent as setPeResource
// does (which is editPeResources with one edit). Refused, with a reason, for the stubs that
// setPeResource refuses and for an edit with a bad type or id 0.
std::expected<std::vector<std::uint8_t>, std::string> editPeResources(
    std::span<const std::uint8_t> stub, std::span<const PeResourceEdit> edits);

// An image with one resource's data left out, for data too large to hold in memory: the file
// is bytes[0, holeAt), the deferred data (holeSize bytes), then bytes[holeAt, end). The
// checksum field at `checksumOffset` is zero: the caller sums the finished file (see
// pe::ChecksumSum) and stores the result there.
struct SplitPeImage {
  std::vector<std::uint8_t> bytes;
  std::uint64_t holeAt = 0;
  std::uint64_t holeSize = 0;
  std::size_t checksumOffset = 0;
};

// editPeResources with exactly one deferred edit; the layout is the one editPeResources gives
// with that data in place, and where the hole lies does not depend on its size.
std::expected<SplitPeImage, std::string> editPeResourcesSplit(
    std::span<const std::uint8_t> stub, std::span<const PeResourceEdit> edits);

// A resource type or name: a text (UTF-8, converted from the image's UTF-16) or an integer id.
struct PeResourceKey {
  bool named = false;
  std::uint16_t id = 0;  // when !named
  std::string text;      // when named
  // "SETUP" for a name, "#101" for an id.
  std::string toString() const;
  bool operator==(const PeResourceKey&) const = default;
};

struct PeResourceInfo {
  PeResourceKey type;
  PeResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::uint32_t size = 0;
};

// Every resource of the image in directory order (type, name, language). Empty for an image
// without resources; the reason for a damaged one.
std::expected<std::vector<PeResourceInfo>, std::string> listPeResources(
    std::span<const std::uint8_t> image);

// The standard image checksum of the optional header: 16-bit one's-complement-style sum of
// the file with the checksum field taken as zero, plus the file length. Returns nullopt when
// the bytes are not a PE image.
std::optional<std::uint32_t> computePeChecksum(std::span<const std::uint8_t> image);

}  // namespace zorv
