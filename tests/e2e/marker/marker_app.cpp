// The program that the run-after-install scenario starts: it leaves e2e-marker.txt in its
// current directory, holding that directory and its command line, one a line, and exits.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char dir[MAX_PATH] = {};
  DWORD dirLength = GetCurrentDirectoryA(sizeof dir, dir);
  const char* commandLine = GetCommandLineA();
  HANDLE f = CreateFileA("e2e-marker.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, dir, dirLength, &written, nullptr);
  WriteFile(f, "\n", 1, &written, nullptr);
  WriteFile(f, commandLine, lstrlenA(commandLine), &written, nullptr);
  WriteFile(f, "\n", 1, &written, nullptr);
  CloseHandle(f);
  return 0;
}
