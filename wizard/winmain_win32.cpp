// The life of the process: entry, start-up, the hidden main window, the message loop, the end.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "package/package.h"
#include "package/resource_stream.h"
#include "texts/language.h"
#include "wizard/package_facts.h"
#include "wizard/paths.h"
#include "wizard/setup_arguments.h"
#include "wizard/setup_win32.h"
#include "wizard/unattended.h"
#include "texts/texts.h"

namespace zorv {

namespace {

constexpr char kWindowClass[] = "Zorv Installer";

// The page's progress bar needs its class before the page is created. comctl32 is not one of
// the DLLs that the system always takes from its own directory, so it is not imported but
// loaded by full path.
void registerProgressClass() {
  char path[MAX_PATH];
  constexpr char kName[] = "\\comctl32.dll";
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n + sizeof kName > MAX_PATH) return;
  lstrcpyA(path + n, kName);
  using InitControls = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto init = systemFunction<InitControls>(LoadLibraryA(path), "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    init(&classes);
  }
}

// The program's own directory, from its module path: arguments and quotes of the command line
// play no part. If even that fails, the current directory stands in.
std::string findSetupDir(Process& process) {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (n > 0 && n < MAX_PATH)
    if (auto dir = setupDirFromModulePath(std::string_view(module, n))) return *dir;
  return setupDirFromCurrentDirectory(process.currentDirectory().value_or("."));
}

bool createMainWindow(SetupApp& app) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = app.instance;
  wc.hIcon = LoadIconA(app.instance, MAKEINTRESOURCEA(kIconResource));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kWindowClass;
  RegisterClassExA(&wc);  // a failure shows in the creation below
  app.mainWindow = CreateWindowExA(0, kWindowClass, kWindowClass, WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, app.instance, nullptr);
  return app.mainWindow != nullptr;
}

}  // namespace

// At namespace scope rather than inside setupApp(), which would need a guarded initialisation
// and with it the thread library, in a program that has one thread. Constant-initialised: the
// platform's parts, the Platform that names them and the empty texts are data in the file,
// not code run at start.
constinit SetupApp theSetup;

SetupApp& setupApp() { return theSetup; }

void showSetupCorrupted() {
  SetupApp& app = setupApp();
  app.platform.dialogs.messageBox(text(Text::SetupCorrupted, app.state.language),
                                  text(Text::SetupCorruptedCaption, app.state.language));
}

bool startSetup() {
  SetupApp& app = setupApp();
  SetupState& s = app.state;
  CoInitialize(nullptr);  // the shell links and the folder browser; never left
  s.language = readLanguage(app.platform.registry);
  app.platform.process.setCurrentDirectory(workingDirectoryOf(s.setupDir));

  s.package = openPackage(createResourceStream(app.instance, "SETUP"));
  auto facts = s.package ? readPackageFacts(*s.package) : std::nullopt;
  if (!facts) {
    showSetupCorrupted();
    return false;
  }
  s.appName = std::move(facts->appName);
  s.requiredBytes = facts->requiredBytes;
  if (facts->release) {
    app.release = s.release = true;
    s.userScope = facts->userScope;
    app.exitCode = kExitCancelled;  // until a run ends otherwise
    SetupArguments args = parseSetupArguments(GetCommandLineA());
    if (args.silent) {
      app.platform.dialogs.silenceMessageBoxes();
      SilentRunView view;
      app.exitCode =
          runUnattendedInstall(s, app.platform, view, args.destination, defaultDestinationParent());
      return false;
    }
    app.proposedDestination = args.destination.empty()
                                  ? previousInstallFolder(app.platform, s.appName).value_or("")
                                  : std::move(args.destination);
  }

  registerProgressClass();
  if (!createMainWindow(app)) return false;
  showDialog(app.mainWindow);
  return true;
}

void quitSetup() {
  SetupState& s = setupApp().state;
  if (s.package) {
    s.package->closePackage();
    s.package.reset();
  }
  PostQuitMessage(setupApp().exitCode);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) quitSetup();
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE)
    PostMessageA(setupApp().mainWindow, WM_CLOSE, 0, 0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace zorv

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace zorv;
  restrictDllSearch();
  SetupApp& app = setupApp();
  app.instance = instance;
  app.state.setupDir = findSetupDir(app.platform.process);
  if (!startSetup()) return app.exitCode;
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return message.message == WM_QUIT ? int(message.wParam) : 0;
}
