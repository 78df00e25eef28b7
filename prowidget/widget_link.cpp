// SPDX-License-Identifier: MIT
#include "prowidget/widget_link.h"

#include <string>

#include "core/guarded_step.h"
#include "core/number_text.h"
#include "prowidget/serial_steps.h"

namespace lumivane {

void WidgetLink::OpenProPort() {
  if (!OpenUnlessOpen(transmitter_, state_.comPort)) {
    GuardedStep([&] {
      reports_.ShowMessage("Failed to open USB DMX Pro on comm port: " +
                           SignPadded(state_.comPort) + " - Check Settings, Device");
    });
    return;
  }
  GuardedStep([&] { MSComm1().Output(InitialFrame()); });
  proPortOpen_ = true;
}

void WidgetLink::CloseProPort() {
  if (!proPortOpen_) return;
  MSComm1().SetPortOpen(false);
  proPortOpen_ = false;
}

void WidgetLink::SendProUniverse() {
  const std::string_view frame = frame_.Build(state_.dmxData);
  if (proPortOpen_) MSComm1().Output(frame);
}

void WidgetLink::RequestProSerial() {
  MSComm1().Output(SerialNumberRequest());
}

}  // namespace lumivane
