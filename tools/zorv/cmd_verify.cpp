#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

int cmdVerify(Args) { return fail("verify: not available yet"); }

}  // namespace zorv
