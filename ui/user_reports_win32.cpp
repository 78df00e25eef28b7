// SPDX-License-Identifier: MIT
#include "ui/user_reports_win32.h"

#include <windows.h>

#include "core/output_driver.h"
#include "core/utf16_text.h"

namespace lumivane {

void Win32UserReports::ShowMessage(std::string_view text) {
  const std::u16string body = Utf8ToUtf16(text);
  const std::u16string title = Utf8ToUtf16(kPluginName);
  MessageBoxW(GetActiveWindow(), reinterpret_cast<const wchar_t*>(body.c_str()),
              reinterpret_cast<const wchar_t*>(title.c_str()), MB_OK | MB_TASKMODAL);
}

}  // namespace lumivane
