// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "core/driver_windows.h"
#include "ui/device_form.h"
#include "ui/device_window_fltk.h"

namespace lumivane {

// The device dialog in the toolkit: modeless, one at a time. Show opens the
// display first and fails with kNoDisplay, changing nothing, where there is
// none. Closing the window by its close box unloads it without running a
// handler; the next Show loads it afresh. Host thread only.
class FltkDeviceDialog final : public DeviceDialog {
 public:
  explicit FltkDeviceDialog(DeviceFormServices services);
  ~FltkDeviceDialog() override;

  void Show() override;
  bool IsLoaded() const override { return loaded_ != nullptr; }
  void PumpEvents(int wait_ms) override;

  // The loaded window, or nullptr; for tests.
  DeviceWindow* window() const;

 private:
  struct Loaded;
  using Handler = void (DeviceForm::*)();
  // Runs a handler inside a toolkit callback: nothing may escape into the
  // toolkit, so whatever a handler throws is shown to the user.
  void Run(Handler handler);
  void Unload();

  DeviceFormServices services_;
  std::unique_ptr<Loaded> loaded_;
  std::unique_ptr<Loaded> closed_;  // closed, not yet discarded
};

}  // namespace lumivane
