#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

int cmdInstall(Args) { return fail("install: not available yet"); }

}  // namespace zorv
