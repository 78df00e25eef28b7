// SPDX-License-Identifier: MIT
#include "prowidget/reply_parser.h"

#include <exception>

#include "prowidget/hex_string.h"

namespace lumivane {

int32_t ReplyParser::ParseProReply(std::string& reply, WidgetDisplay& display) {
  fwVersionLow_ = 0;
  fwVersionHigh_ = 0;
  display.SetInfoCaption(ToHexString(reply));

  // A reply cut short, or a failure while showing, ends in one message box
  // and the code held at that moment.
  int32_t held = 0;
  std::string failure;
  try {
    const ProReply decoded = DecodeProReply(reply);
    const size_t start = static_cast<size_t>(decoded.trimmed.data() - reply.data());
    const size_t size = decoded.trimmed.size();
    if (decoded.code >= 0) held = decoded.code;
    if (decoded.fwVersionLow) fwVersionLow_ = *decoded.fwVersionLow;
    if (decoded.fwVersionHigh) fwVersionHigh_ = *decoded.fwVersionHigh;
    if (decoded.serial) widgetSerial_ = *decoded.serial;
    reply.resize(start + size);
    reply.erase(0, start);
    if (decoded.code == kReplyNoStart) {
      reports_.ShowMessage(decoded.message);
      return decoded.code;
    }
    if (decoded.message.empty()) {
      if (!decoded.resultCaption.empty()) display.SetResultCaption(decoded.resultCaption);
      return decoded.code;
    }
    failure = decoded.message;
  } catch (const std::exception& caught) {
    failure = caught.what();
  }
  reports_.ShowMessage(failure);
  return held;
}

}  // namespace lumivane
