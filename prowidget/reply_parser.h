// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "core/user_reports.h"
#include "core/widget_display.h"
#include "prowidget/reply_decoder.h"
#include "prowidget/widget_message.h"

namespace lumivane {

// Shows what a widget sent back, as DecodeProReply reads it. Keeps the serial number of the last
// serial-number reply and the firmware bytes of the last parse. Host thread
// only; the display must stay valid for the call.
class ReplyParser {
 public:
  explicit ReplyParser(UserReports& reports) : reports_(reports) {}

  // Dumps reply (as received) into the info line, trims it in place to its
  // first message and decodes it. Returns the reply's code (kReply... or
  // the label). Labels 3 and 10 are shown in the result line; a reply with
  // no start delimiter, or cut short in its firmware bytes, in a message
  // box. A failure while showing is itself shown in a message box, and the
  // code held so far returned: 0 until the label is known.
  int32_t ParseProReply(std::string& reply, WidgetDisplay& display);

  // Empty until a serial-number reply; then 4..8 hexadecimal characters,
  // the bytes at positions 8, 7, 6, 5 ("0" for each one missing).
  const std::string& widgetSerial() const { return widgetSerial_; }
  void ClearWidgetSerial() { widgetSerial_.clear(); }

  uint8_t fwVersionLow() const { return fwVersionLow_; }
  uint8_t fwVersionHigh() const { return fwVersionHigh_; }

 private:
  UserReports& reports_;
  std::string widgetSerial_;
  uint8_t fwVersionLow_ = 0;
  uint8_t fwVersionHigh_ = 0;
};

}  // namespace lumivane
