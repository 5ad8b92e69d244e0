/* A stand-in for the setup stub: reads its own resource "SETUP"/101 through the Win32 resource
   calls and reports "<size> <FNV-1a 32 in hex>" to the file named by argv[1], or "missing". */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  FILE* out = __argc > 1 ? fopen(__argv[1], "wb") : stdout;
  if (!out) return 3;
  HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(101), "SETUP");
  HGLOBAL loaded = found ? LoadResource(instance, found) : NULL;
  const unsigned char* bytes = loaded ? (const unsigned char*)LockResource(loaded) : NULL;
  if (!bytes) {
    fprintf(out, "missing\n");
    fclose(out);
    return 2;
  }
  DWORD size = SizeofResource(instance, found);
  unsigned long hash = 2166136261ul;
  for (DWORD i = 0; i < size; ++i) hash = ((hash ^ bytes[i]) * 16777619ul) & 0xFFFFFFFFul;
  fprintf(out, "%lu %08lx\n", (unsigned long)size, hash);
  fclose(out);
  return 0;
}
