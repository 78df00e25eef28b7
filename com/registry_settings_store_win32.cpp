// SPDX-License-Identifier: MIT
#include "com/registry_settings_store_win32.h"

#include <windows.h>

#include <vector>

#include "core/failure.h"
#include "core/utf16_text.h"

namespace lumivane {
namespace {

std::wstring Wide(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string RegistrySettingsStore::KeyPath(std::string_view app, std::string_view section) const {
  std::string path = root_;
  path += '\\';
  path += app;
  path += '\\';
  path += section;
  return path;
}

std::string RegistrySettingsStore::Read(std::string_view app, std::string_view section,
                                        std::string_view key) {
  Key opened;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(KeyPath(app, section)).c_str(), 0, KEY_QUERY_VALUE,
                    opened.out()) != ERROR_SUCCESS) {
    return {};
  }
  const std::wstring name = Wide(key);
  // The value may change between the size query and the read: try again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
      return {};
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    const LONG status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    // Stored strings need not end in a NUL; stop at the first one there is.
    size_t length = got / sizeof(wchar_t);
    for (size_t i = 0; i < length; ++i) {
      if (buffer[i] == L'\0') {
        length = i;
        break;
      }
    }
    return Narrow(buffer.data(), length);
  }
  return {};
}

void RegistrySettingsStore::Write(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view value) {
  Key created;
  LONG status =
      RegCreateKeyExW(HKEY_CURRENT_USER, Wide(KeyPath(app, section)).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, created.out(), nullptr);
  if (status != ERROR_SUCCESS) {
    throw Failure(ErrorNumber::kSettingsWriteFailed,
                  "registry key not created, Windows error " + std::to_string(status));
  }
  const std::wstring text = Wide(value);
  status = RegSetValueExW(created.get(), Wide(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) {
    throw Failure(ErrorNumber::kSettingsWriteFailed,
                  "registry value not set, Windows error " + std::to_string(status));
  }
}

}  // namespace lumivane
