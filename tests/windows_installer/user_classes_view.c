// SPDX-License-Identifier: MIT
// Windows merges HKCU\Software\Classes into HKEY_CLASSES_ROOT, so a class
// registered for one user is creatable by that user; Wine's HKCR shows only
// HKLM\Software\Classes. This links the named keys of HKLM\Software\Classes
// to the same keys under HKCU\Software\Classes, which gives a script host
// under Wine the merged view for them (a link to a missing key opens as
// missing). Usage: user_classes_view NAME...  e.g. "CLSID\{...}".
#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>
#include <stdio.h>
#include <wchar.h>

static int UserClassesPath(wchar_t* out, size_t size) {
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  BYTE buffer[256];
  DWORD length = 0;
  const BOOL ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
  CloseHandle(token);
  wchar_t* sid = NULL;
  if (!ok || !ConvertSidToStringSidW(((TOKEN_USER*)buffer)->User.Sid, &sid)) return 0;
  swprintf(out, size, L"\\Registry\\User\\%ls\\Software\\Classes\\", sid);
  LocalFree(sid);
  return 1;
}

static int Link(const wchar_t* prefix, const wchar_t* name) {
  wchar_t key[512], target[1024];
  swprintf(key, 512, L"Software\\Classes\\%ls", name);
  swprintf(target, 1024, L"%ls%ls", prefix, name);
  HKEY h = NULL;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, NULL, REG_OPTION_CREATE_LINK,
                                KEY_ALL_ACCESS | KEY_CREATE_LINK, NULL, &h, NULL);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(h, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)target,
                            (DWORD)(wcslen(target) * sizeof(wchar_t)));
    RegCloseKey(h);
  }
  if (status != ERROR_SUCCESS) fwprintf(stderr, L"cannot link %ls: error %ld\n", key, status);
  return status == ERROR_SUCCESS;
}

int wmain(int argc, wchar_t** argv) {
  wchar_t prefix[256];
  if (argc < 2 || !UserClassesPath(prefix, 256)) return 2;
  int ok = 1;
  for (int i = 1; i < argc; ++i) ok &= Link(prefix, argv[i]);
  return ok ? 0 : 1;
}
