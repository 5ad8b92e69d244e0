/* A stand-in for the setup stub: reads its own resource "SETUP"/101 through the Win32 resource
   calls and reports "<size> <FNV-1a 32 in hex>" to the file named by argv[1], or "missing".
   With "identity" as argv[2] it reports instead what Windows shows of the program: its
   version through the version API, and the width of icon 101 as the loader picks it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* "<ProductName>|<FileDescription>|<a.b.c.d>|icon <id>:<w> <id>:<w>": the version from the
   first translation, then the image that the system picks from icon group 101 for 24 and for
   40 pixels: its RT_ICON id and the width of the icon made from it at its own size. */
static int reportIdentity(HINSTANCE instance, FILE* out) {
  char path[MAX_PATH], query[128];
  DWORD ignored = 0;
  GetModuleFileNameA(NULL, path, sizeof path);
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  void* info = size ? malloc(size) : NULL;
  WORD* translation = NULL;
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (!info || !GetFileVersionInfoA(path, 0, size, info) ||
      !VerQueryValueA(info, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
      length < 4 || !VerQueryValueA(info, "\\", (void**)&fixed, &length)) {
    fprintf(out, "no version\n");
    return 4;
  }
  const char* names[] = {"ProductName", "FileDescription"};
  for (int i = 0; i < 2; ++i) {
    char* text = NULL;
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
             translation[1], names[i]);
    fprintf(out, "%s|", VerQueryValueA(info, query, (void**)&text, &length) ? text : "?");
  }
  fprintf(out, "%lu.%lu.%lu.%lu|", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
          fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
  fprintf(out, "icon");
  HRSRC groupFound = FindResourceA(NULL, MAKEINTRESOURCEA(101), (LPCSTR)RT_GROUP_ICON);
  BYTE* group = groupFound ? (BYTE*)LockResource(LoadResource(instance, groupFound)) : NULL;
  for (int side = 24; side <= 40; side += 16) {
    int id = group ? LookupIconIdFromDirectoryEx(group, TRUE, side, side, LR_DEFAULTCOLOR) : 0;
    HRSRC found = id ? FindResourceA(NULL, MAKEINTRESOURCEA(id), (LPCSTR)RT_ICON) : NULL;
    BYTE* bits = found ? (BYTE*)LockResource(LoadResource(instance, found)) : NULL;
    HICON icon = bits ? CreateIconFromResourceEx(bits, SizeofResource(instance, found), TRUE,
                                                 0x00030000, 0, 0, LR_DEFAULTCOLOR)
                      : NULL;
    ICONINFO iconInfo;
    BITMAP bitmap;
    if (icon && GetIconInfo(icon, &iconInfo) &&
        GetObjectA(iconInfo.hbmColor ? iconInfo.hbmColor : iconInfo.hbmMask, sizeof bitmap,
                   &bitmap))
      fprintf(out, " %d:%ld", id, bitmap.bmWidth);
    else
      fprintf(out, " none");
  }
  fprintf(out, "\n");
  free(info);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  FILE* out = __argc > 1 ? fopen(__argv[1], "wb") : stdout;
  if (!out) return 3;
  if (__argc > 2 && strcmp(__argv[2], "identity") == 0) {
    int status = reportIdentity(instance, out);
    fclose(out);
    return status;
  }
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
