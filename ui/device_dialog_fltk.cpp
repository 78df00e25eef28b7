// SPDX-License-Identifier: MIT
#include "ui/device_dialog_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <exception>

#include "core/failure.h"
#include "ui/display_fltk.h"

namespace lumivane {

struct FltkDeviceDialog::Loaded {
  Loaded(DeviceWindow::Events events, DeviceFormServices services)
      : window(std::move(events)), form(window, services) {}
  DeviceWindow window;
  DeviceForm form;
};

FltkDeviceDialog::FltkDeviceDialog(DeviceFormServices services) : services_(services) {}

FltkDeviceDialog::~FltkDeviceDialog() = default;

void FltkDeviceDialog::Show() {
  if (!OpenToolkitDisplay()) throw Failure(ErrorNumber::kNoDisplay);
  closed_.reset();
  if (!loaded_) {
    DeviceWindow::Events events{
        .optDMXUSBproClick = [this] { Run(&DeviceForm::optDMXUSBpro_Click); },
        .cmdTestClick = [this] { Run(&DeviceForm::cmdTest_Click); },
        .cmdOKClick = [this] { Run(&DeviceForm::cmdOK_Click); },
        .closeBox = [this] { Unload(); },
        .cmdFindNodesClick = [this] { Run(&DeviceForm::cmdFindNodes_Click); },
        .lstNodesClick = [this] { Run(&DeviceForm::lstNodes_Click); },
    };
    auto loaded = std::make_unique<Loaded>(std::move(events), services_);
    // A failing load step fails the call and leaves no dialog behind.
    loaded->form.Form_Load();
    loaded_ = std::move(loaded);
  }
  loaded_->window.Show();
  Fl::flush();
}

void FltkDeviceDialog::PumpEvents(int wait_ms) {
  if (!ToolkitDisplayIsOpen()) return;
  closed_.reset();
  Fl::wait(wait_ms / 1000.0);
}

DeviceWindow* FltkDeviceDialog::window() const {
  return loaded_ ? &loaded_->window : nullptr;
}

void FltkDeviceDialog::Run(Handler handler) {
  if (!loaded_) return;
  try {
    (loaded_->form.*handler)();
  } catch (const std::exception& failure) {
    services_.reports.ShowMessage(failure.what());
  } catch (...) {
    services_.reports.ShowMessage(DescribeError(ErrorNumber::kInternal));
  }
}

void FltkDeviceDialog::Unload() {
  // Called from the window's own callback: hide it now, discard it later.
  closed_ = std::move(loaded_);
  if (closed_) {
    closed_->window.frmNetwork().hide();
    closed_->window.frmDevice().hide();
  }
}

}  // namespace lumivane
