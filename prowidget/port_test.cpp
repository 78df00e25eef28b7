// SPDX-License-Identifier: MIT
#include "prowidget/port_test.h"

#include <string>

#include "core/guarded_step.h"
#include "core/number_text.h"

namespace lumivane {

void TestProPort(Transmitter& transmitter, ProLink& pro, ReplyParser& parser, Sleeper& sleeper,
                 UserReports& reports, int16_t comPort, WidgetDisplay& display) {
  pro.FinishSending();  // the frames the link holds go first
  auto portIsClosed = [&] { return !transmitter.MSComm1().PortOpen(); };
  if (GuardedTest(portIsClosed)) {
    GuardedStep([&] { transmitter.MSComm1().SetCommPort(comPort); });
    GuardedStep([&] { transmitter.MSComm1().SetPortOpen(true); });
  }
  if (GuardedTest(portIsClosed)) {
    GuardedStep([&] {
      reports.ShowMessage("Failed to open USB DMX Pro on comm port: " + SignPadded(comPort));
    });
    return;
  }
  GuardedStep([&] { transmitter.MSComm1().Input(); });
  GuardedStep([&] { pro.RequestProSerial(); });
  GuardedStep([&] { sleeper.SleepMs(kTestReplyWaitMs); });
  if (GuardedTest([&] { return transmitter.MSComm1().InBufferCount() > 0; })) {
    GuardedStep([&] {
      std::string reply = transmitter.MSComm1().Input();
      display.SetResultCaption(SignPadded(parser.ParseProReply(reply, display)));
    });
  } else {
    GuardedStep([&] { display.SetResultCaption("Nothing Recieved"); });
  }
}

}  // namespace lumivane
