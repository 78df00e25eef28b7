// SPDX-License-Identifier: MIT
// A host that keeps the plug-in loaded: creates PROGID, says "held", and
// keeps the object until its standard input ends. Usage: hold_plugin PROGID
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (FAILED(CoInitialize(NULL))) return 1;
  CLSID clsid;
  IUnknown* object = NULL;
  HRESULT hr = CLSIDFromProgID(argv[1], &clsid);
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&object);
  if (FAILED(hr)) {
    printf("cannot create %ls: 0x%08lx\n", argv[1], (unsigned long)hr);
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  char buffer[64];
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, NULL) && got > 0) {
  }
  object->lpVtbl->Release(object);
  CoUninitialize();
  printf("released\n");
  return 0;
}
