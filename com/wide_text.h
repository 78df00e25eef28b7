// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>
#include <string_view>

#include "core/utf16_text.h"

namespace lumivane::com {

inline std::wstring Wide(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(std::wstring_view text) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// A BSTR's text; NULL is the empty text, as automation has it.
inline std::string FromBstr(BSTR text) {
  return text == nullptr ? std::string() : Narrow(std::wstring_view(text, SysStringLen(text)));
}

}  // namespace lumivane::com
