// Where extractFile takes a file's blocks from when not straight from the package: the native
// tools set one that unpacks the next blocks ahead on other threads. The setup sets none.
#pragma once

#include <optional>

#include "package/format.h"
#include "package/package.h"

namespace zorv {

class BlockReader {
 public:
  // The unpacked bytes of `range`, exactly what package.readRange(range) gives, with the same
  // lastError() and the same state of its stream on failure.
  virtual std::optional<Buffer> read(Package& package, PackedRange range) = 0;

 protected:
  ~BlockReader() = default;
};

}  // namespace zorv
