// The folder browser of the page's Browse button.
#include <windows.h>

#include <shlobj.h>

#include "wizard/setup_win32.h"

namespace zorv {

// The browser has no owner, so the page stays enabled while it is open; the caller must check
// afterwards that its result still has a use. The flags do not limit the choice to file-system
// folders: a choice without a path counts as cancelled.
bool browseForDestination(std::string& path) {
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.pszDisplayName = displayName;
  info.lpszTitle = setupApp().state.browseTitle.c_str();
  info.ulFlags = BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT;
  LPITEMIDLIST items = SHBrowseForFolderA(&info);
  if (items == nullptr) return false;
  auto chosen = pathOfItemList(items);
  if (!chosen) return false;
  path = std::move(*chosen);
  return true;
}

}  // namespace zorv
