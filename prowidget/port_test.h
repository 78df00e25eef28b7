// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "core/interface_links.h"
#include "core/sleeper.h"
#include "core/user_reports.h"
#include "prowidget/reply_parser.h"
#include "prowidget/transmitter.h"
#include "core/widget_display.h"

namespace lumivane {

inline constexpr int kTestReplyWaitMs = 100;

// The Test button once the port number is read: opens comPort unless a
// port is already open (then tests that one, whatever its number), reports
// a port that stays closed in a message box, drops pending input, asks for
// the serial number, waits 100 ms, and shows the parser's code in the
// result line (sign-padded), or "Nothing Recieved". Every step is guarded;
// nothing fails out. The port is left open.
void TestProPort(Transmitter& transmitter, ProLink& pro, ReplyParser& parser, Sleeper& sleeper,
                 UserReports& reports, int16_t comPort, WidgetDisplay& display);

}  // namespace lumivane
