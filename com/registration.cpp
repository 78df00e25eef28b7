// SPDX-License-Identifier: MIT
#include "com/registration.h"

#include <lumivane_idl.h>

#include <string>

#include "com/com_module.h"
#include "com/type_library.h"

// In oleaut32 (Vista and later) but not in every SDK's headers.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID locale,
                                        SYSKIND kind);
}

namespace lumivane::com {
namespace {

constexpr const wchar_t* kClassName = L"clsOutputDriver";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

HKEY Root(Scope scope) {
  return scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring Classes() {
  return L"Software\\Classes\\";
}

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  LONG status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, &h, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return status;
}

std::wstring ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view) {
  wchar_t value[256] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &h) != ERROR_SUCCESS) return {};
  DWORD type = 0;
  const LONG status =
      RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  RegCloseKey(h);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : std::wstring();
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

HRESULT FromStatus(LONG status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

}  // namespace

HRESULT RegisterServer(Scope scope) {
  const HKEY root = Root(scope);
  const std::wstring clsid = GuidText(CLSID_clsOutputDriver);
  const std::wstring classKey = Classes() + L"CLSID\\" + clsid;
  const std::wstring progId = ProgId();
  const std::wstring path = ModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());

  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {classKey, nullptr, kClassName},
      {classKey + L"\\InprocServer32", nullptr, path},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {classKey + L"\\ProgID", nullptr, progId},
      {classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Lumivane)},
      {classKey + L"\\Version", nullptr, L"1.0"},
      {Classes() + progId, nullptr, kClassName},
      {Classes() + progId + L"\\CLSID", nullptr, clsid},
  };
  for (const auto& v : values) {
    if (const LONG status = SetValue(root, v.key, v.name, v.value); status != ERROR_SUCCESS) {
      UnregisterServer(scope);
      return FromStatus(status);
    }
  }

  ITypeLib* library = nullptr;
  HRESULT hr = LoadOwnTypeLibrary(&library);
  if (SUCCEEDED(hr)) {
    std::wstring file = path;
    std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    hr = scope == Scope::kMachine ? RegisterTypeLib(library, file.data(), folder.data())
                                  : RegisterTypeLibForUser(library, file.data(), folder.data());
    library->Release();
  }
  if (FAILED(hr)) UnregisterServer(scope);
  return hr;
}

HRESULT UnregisterServer(Scope scope) {
  const HKEY root = Root(scope);
  const std::wstring clsid = GuidText(CLSID_clsOutputDriver);
  const std::wstring classKey = Classes() + L"CLSID\\" + clsid;
  const std::wstring progId = ProgId();

  LONG status = RegDeleteTreeW(root, classKey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return FromStatus(status);

  // One ProgID key serves both bitnesses: keep it while a view still has
  // our class, and never remove a ProgID that names another class.
  const bool stillRegistered =
      KeyExists(root, classKey, KEY_WOW64_32KEY) || KeyExists(root, classKey, KEY_WOW64_64KEY);
  const std::wstring progKey = Classes() + progId;
  if (!stillRegistered && ReadValue(root, progKey + L"\\CLSID", nullptr, 0) == clsid) {
    status = RegDeleteTreeW(root, progKey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return FromStatus(status);
  }

  const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  const HRESULT hr = scope == Scope::kMachine
                         ? UnRegisterTypeLib(LIBID_Lumivane, 1, 0, LOCALE_NEUTRAL, kind)
                         : UnRegisterTypeLibForUser(LIBID_Lumivane, 1, 0, LOCALE_NEUTRAL, kind);
  // Not registered is what we wanted.
  if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) return hr;
  return S_OK;
}

}  // namespace lumivane::com
