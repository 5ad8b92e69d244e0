#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

int cmdBuild(Args) { return fail("build: not available yet"); }

}  // namespace zorv
