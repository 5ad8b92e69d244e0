/* The demo application: one message box. Built without the C runtime so that it stays a few
   kilobytes:
   i686-w64-mingw32-gcc -Os -s -nostdlib -mwindows -e _start -Wl,--no-insert-timestamp \
       -o app/hello.exe src/hello.c -luser32 -lkernel32 */
#include <windows.h>

void start(void) __asm__("_start");

void start(void) {
  MessageBoxA(NULL, "Zorv Demo is installed and running.", "Zorv Demo", MB_OK | MB_ICONINFORMATION);
  ExitProcess(0);
}
