// SPDX-License-Identifier: MIT
#include "prowidget/port_scan.h"

#include <optional>
#include <string>

#include "core/guarded_step.h"
#include "core/number_text.h"

namespace lumivane {

void PortScan::ScanProPorts(WidgetDisplay& display) {
  pro_.FinishSending();  // the frames the link holds go before the port does
  for (int16_t port = kFirstPort; port <= kLastPort; ++port) {
    ProbePort(port, display);
    ListPort(port, display);
  }
}

void PortScan::ProbePort(int16_t port, WidgetDisplay& display) {
  portPresent_[port] = false;
  portIsWidget_[port] = false;
  parser_.ClearWidgetSerial();

  // Refused while another port is open: that port is then the one probed.
  GuardedStep([&] { transmitter_.MSComm1().SetCommPort(port); });
  GuardedStep([&] { transmitter_.MSComm1().SetPortOpen(true); });
  if (!GuardedTest([&] { return transmitter_.MSComm1().PortOpen(); })) return;

  portPresent_[port] = true;
  GuardedStep([&] { transmitter_.MSComm1().Input(); });
  GuardedStep([&] { pro_.RequestProSerial(); });
  GuardedStep([&] { sleeper_.SleepMs(kReplyWaitMs); });
  if (GuardedTest([&] { return transmitter_.MSComm1().InBufferCount() > 0; })) {
    std::optional<int32_t> result;
    GuardedStep([&] {
      std::string reply = transmitter_.MSComm1().Input();
      result = parser_.ParseProReply(reply, display);
    });
    // A read or parse that failed leaves the serial text to decide alone.
    if (!result || *result == kLabelSerialNumber) {
      if (parser_.widgetSerial().size() > 2) portIsWidget_[port] = true;
    }
  }
  GuardedStep([&] { transmitter_.MSComm1().SetPortOpen(false); });
}

void PortScan::ListPort(int16_t port, WidgetDisplay& display) {
  if (portIsWidget_[port]) {
    GuardedStep([&] {
      display.AddListEntry("Pro Widget - Com:  " + PlainDecimal(port) + " : " +
                           parser_.widgetSerial());
    });
    GuardedStep([&] { display.SetLastEntryItemData(port); });
  } else if (portPresent_[port]) {
    GuardedStep([&] { display.AddListEntry("Com: " + PlainDecimal(port)); });
  }
}

}  // namespace lumivane
