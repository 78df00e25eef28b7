// SPDX-License-Identifier: MIT
#pragma once

#include "prowidget/port_scan.h"
#include "prowidget/port_test.h"
#include "ui/port_probes.h"

namespace lumivane::uitest {

// The scan and Test as the plug-in wires them.
class WidgetProbes final : public ProPortProbes {
 public:
  WidgetProbes(Transmitter& transmitter, ProLink& pro, ReplyParser& parser, Sleeper& sleeper,
               UserReports& reports)
      : transmitter_(transmitter),
        pro_(pro),
        parser_(parser),
        sleeper_(sleeper),
        reports_(reports),
        scan_(transmitter, pro, parser, sleeper) {}
  void ScanProPorts(WidgetDisplay& display) override { scan_.ScanProPorts(display); }
  void TestProPort(int16_t comPort, WidgetDisplay& display) override {
    lumivane::TestProPort(transmitter_, pro_, parser_, sleeper_, reports_, comPort, display);
  }

 private:
  Transmitter& transmitter_;
  ProLink& pro_;
  ReplyParser& parser_;
  Sleeper& sleeper_;
  UserReports& reports_;
  PortScan scan_;
};

}  // namespace lumivane::uitest
