// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "core/user_reports.h"
#include "core/widget_display.h"
#include "prowidget/widget_message.h"

namespace lumivane {

// Result codes of ParseProReply besides the label itself (0..255).
inline constexpr int32_t kReplyTooShort = -1;  // trimmed reply under 4 characters
inline constexpr int32_t kReplyNoStart = -2;   // no 0x7E in it; a message box was shown
inline constexpr int32_t kReplyTooLong = -3;   // trimmed reply over 600 characters

// Reads what a widget sent back. Keeps the serial number of the last
// serial-number reply and the firmware bytes of the last parse. Host thread
// only; the display must stay valid for the call.
class ReplyParser {
 public:
  explicit ReplyParser(UserReports& reports) : reports_(reports) {}

  // Dumps reply (as received) into the info line, trims it in place to its
  // first message (first 0x7E up to the first 0xE7 after it, length bytes
  // ignored), checks and decodes it. Returns a code above, or the label.
  // Labels 3 and 10 are decoded into the result line. A failure while
  // decoding is shown in a message box and the code held so far returned.
  int32_t ParseProReply(std::string& reply, WidgetDisplay& display);

  // Empty until a serial-number reply; then 4..8 hexadecimal characters,
  // the bytes at positions 8, 7, 6, 5 ("0" for each one missing).
  const std::string& widgetSerial() const { return widgetSerial_; }
  void ClearWidgetSerial() { widgetSerial_.clear(); }

  uint8_t fwVersionLow() const { return fwVersionLow_; }
  uint8_t fwVersionHigh() const { return fwVersionHigh_; }

 private:
  void DecodeParameters(const std::string& reply, WidgetDisplay& display);
  void DecodeSerialNumber(const std::string& reply, WidgetDisplay& display);

  UserReports& reports_;
  std::string widgetSerial_;
  uint8_t fwVersionLow_ = 0;
  uint8_t fwVersionHigh_ = 0;
};

}  // namespace lumivane
