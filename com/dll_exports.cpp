// SPDX-License-Identifier: MIT
// The DLL's entry points, as COM and regsvr32 call them.
#include <lumivane_idl.h>
#include <windows.h>

#include "com/class_factory.h"
#include "com/com_module.h"
#include "com/registration.h"

using lumivane::com::Scope;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // Nothing else here: no thread is started or joined under the loader
  // lock, and at process exit nothing is touched.
  if (reason == DLL_PROCESS_ATTACH) {
    lumivane::com::SetModule(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_clsOutputDriver) return CLASS_E_CLASSNOTAVAILABLE;
  return lumivane::com::DriverClassFactory()->QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return lumivane::com::UnloadIfUnused() ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
  return lumivane::com::RegisterServer(Scope::kMachine);
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  return lumivane::com::UnregisterServer(Scope::kMachine);
}

// regsvr32 /n /i:user registers for the current user only, without an
// administrator; /i alone, or /i:machine, registers machine-wide.
extern "C" HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  Scope scope = Scope::kMachine;
  if (commandLine != nullptr && *commandLine != L'\0') {
    if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
      scope = Scope::kUser;
    } else if (CompareStringOrdinal(commandLine, -1, L"machine", -1, TRUE) != CSTR_EQUAL) {
      return E_INVALIDARG;
    }
  }
  return install ? lumivane::com::RegisterServer(scope) : lumivane::com::UnregisterServer(scope);
}
