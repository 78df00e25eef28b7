// SPDX-License-Identifier: MIT
#include "prowidget/serial_steps.h"

#include "core/guarded_step.h"

namespace lumivane {

bool OpenUnlessOpen(Transmitter& transmitter, int16_t comPort) noexcept {
  auto portIsClosed = [&] { return !transmitter.MSComm1().PortOpen(); };
  if (GuardedTest(portIsClosed)) {
    GuardedStep([&] { transmitter.MSComm1().SetCommPort(comPort); });
    GuardedStep([&] { transmitter.MSComm1().SetPortOpen(true); });
  }
  return !GuardedTest(portIsClosed);
}

}  // namespace lumivane
