#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

int cmdExtract(Args) { return fail("extract: not available yet"); }

}  // namespace zorv
