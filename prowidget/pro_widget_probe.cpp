// SPDX-License-Identifier: MIT
#include "prowidget/pro_widget_probe.h"

#include <optional>

#include "core/guarded_step.h"
#include "core/number_text.h"
#include "prowidget/serial_steps.h"

namespace lumivane {

template <class OnReply>
bool ProWidgetProbe::AskForSerial(int waitMs, OnReply&& onReply) {
  GuardedStep([&] { transmitter_.MSComm1().Input(); });
  GuardedStep([&] { pro_.RequestProSerial(); });
  GuardedStep([&] { clock_.SleepFor(std::chrono::milliseconds(waitMs)); });
  if (!GuardedTest([&] { return transmitter_.MSComm1().InBufferCount() > 0; })) return false;
  GuardedStep([&] { onReply(transmitter_.MSComm1().Input()); });
  return true;
}

void ProWidgetProbe::ScanProPorts(WidgetDisplay& display) {
  pro_.FinishSending();  // the frames the link holds go before the port does
  for (int16_t port = kFirstPort; port <= kLastPort; ++port) {
    ProbePort(port, display);
    ListPort(port, display);
  }
}

void ProWidgetProbe::ProbePort(int16_t port, WidgetDisplay& display) {
  portPresent_[port] = false;
  portIsWidget_[port] = false;
  parser_.ClearWidgetSerial();

  // Refused while another port is open: that port is then the one probed.
  GuardedStep([&] { transmitter_.MSComm1().SetCommPort(port); });
  GuardedStep([&] { transmitter_.MSComm1().SetPortOpen(true); });
  if (!GuardedTest([&] { return transmitter_.MSComm1().PortOpen(); })) return;

  portPresent_[port] = true;
  std::optional<int32_t> result;
  const bool answered = AskForSerial(
      kReplyWaitMs, [&](std::string reply) { result = parser_.ParseProReply(reply, display); });
  // A read or parse that failed leaves the serial text to decide alone.
  if (answered && (!result || *result == kLabelSerialNumber)) {
    if (parser_.widgetSerial().size() > 2) portIsWidget_[port] = true;
  }
  GuardedStep([&] { transmitter_.MSComm1().SetPortOpen(false); });
}

void ProWidgetProbe::ListPort(int16_t port, WidgetDisplay& display) {
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

void ProWidgetProbe::TestProPort(int16_t comPort, WidgetDisplay& display) {
  pro_.FinishSending();  // the frames the link holds go first
  if (!OpenUnlessOpen(transmitter_, comPort)) {
    GuardedStep([&] {
      reports_.ShowMessage("Failed to open USB DMX Pro on comm port: " + SignPadded(comPort));
    });
    return;
  }
  const bool answered = AskForSerial(kTestReplyWaitMs, [&](std::string reply) {
    display.SetResultCaption(SignPadded(parser_.ParseProReply(reply, display)));
  });
  if (!answered) GuardedStep([&] { display.SetResultCaption("Nothing Recieved"); });
}

}  // namespace lumivane
