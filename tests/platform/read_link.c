/* Loads a .lnk file through the system's shell link object and writes what it reads, one
 * "name=value" line each, to a file: read_link.exe LINK OUTPUT. Built with MinGW and run under
 * Wine by the platform's wine tests. */
#define COBJMACROS
#include <windows.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <stdio.h>

int main(int argc, char** argv) {
  IShellLinkA* link = NULL;
  IPersistFile* file = NULL;
  WCHAR wide[MAX_PATH];
  char path[MAX_PATH] = "", description[INFOTIPSIZE] = "", workdir[MAX_PATH] = "";
  WIN32_FIND_DATAA found;
  FILE* out;

  if (argc != 3) return 2;
  CoInitialize(NULL);
  if (FAILED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkA,
                              (void**)&link)) ||
      FAILED(IShellLinkA_QueryInterface(link, &IID_IPersistFile, (void**)&file)))
    return 3;
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
  if (FAILED(IPersistFile_Load(file, wide, STGM_READ))) return 4;
  IShellLinkA_GetPath(link, path, MAX_PATH, &found, SLGP_RAWPATH);
  IShellLinkA_GetDescription(link, description, INFOTIPSIZE);
  IShellLinkA_GetWorkingDirectory(link, workdir, MAX_PATH);
  out = fopen(argv[2], "wb");
  if (!out) return 5;
  fprintf(out, "path=%s\ndescription=%s\nworkdir=%s\n", path, description, workdir);
  fclose(out);
  IPersistFile_Release(file);
  IShellLinkA_Release(link);
  return 0;
}
