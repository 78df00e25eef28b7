// SPDX-License-Identifier: MIT
#include "ui/device_dialog_win32.h"

#include "plugin/failure.h"

namespace lumivane {

class Win32DeviceDialog::Window {};

Win32DeviceDialog::Win32DeviceDialog(DeviceFormServices services) : services_(services) {}
Win32DeviceDialog::~Win32DeviceDialog() = default;

void Win32DeviceDialog::Show() { throw Failure(ErrorNumber::kNoDisplay); }
bool Win32DeviceDialog::IsLoaded() const { return window_ != nullptr; }

}  // namespace lumivane
