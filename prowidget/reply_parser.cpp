// SPDX-License-Identifier: MIT
#include "prowidget/reply_parser.h"

#include <algorithm>
#include <stdexcept>

#include "prowidget/hex_string.h"

namespace lumivane {
namespace {

constexpr char kMsgStart = static_cast<char>(msgStart);
constexpr char kMsgEnd = static_cast<char>(msgEnd);
constexpr size_t kShortestReply = 4;
constexpr size_t kLongestReply = 600;

// The byte at a 1-based position of the trimmed reply; a position past its
// end is a failure the parser's handler reports.
uint8_t ByteAt(const std::string& reply, size_t position, const char* field) {
  if (position > reply.size()) {
    throw std::out_of_range("The widget's reply ended after " + std::to_string(reply.size()) +
                            " bytes, before the " + field + " at byte " + std::to_string(position) +
                            ".");
  }
  return static_cast<uint8_t>(reply[position - 1]);
}

// Two hexadecimal digits for the byte at a position, "0" past the end.
std::string SerialDigits(const std::string& reply, size_t position) {
  std::string digits = "0";
  if (position <= reply.size()) {
    std::string dump = ToHexString(std::string_view(reply).substr(position - 1, 1));
    dump.pop_back();  // its trailing space
    digits += dump;
  }
  return digits.substr(digits.size() - std::min<size_t>(2, digits.size()));
}

// Cuts reply to its first message: from the first start delimiter to the
// first end delimiter after it. Without a start delimiter it stays whole.
void TrimToFirstMessage(std::string& reply) {
  const size_t start = reply.find(kMsgStart);
  if (start == std::string::npos) return;
  reply.erase(0, start);
  const size_t end = reply.find(kMsgEnd);
  if (end != std::string::npos) reply.resize(end + 1);
}

}  // namespace

int32_t ReplyParser::ParseProReply(std::string& reply, WidgetDisplay& display) {
  fwVersionLow_ = 0;
  fwVersionHigh_ = 0;
  display.SetInfoCaption(ToHexString(reply));

  // From here on any failure is reported and ends the parse with the result
  // held at that moment: 0 until the label is read, the label after.
  int32_t result = 0;
  try {
    TrimToFirstMessage(reply);
    if (reply.size() < kShortestReply) return kReplyTooShort;
    if (reply.front() != kMsgStart) {
      // Sized once: a long garbage reply costs one allocation for its text.
      constexpr std::string_view kBadStart =
          "Bad data received from widget, not start of message: ";
      std::string text;
      text.reserve(kBadStart.size() + reply.size() * 3);
      text = kBadStart;
      AppendHexString(text, reply);
      reports_.ShowMessage(text);
      return kReplyNoStart;
    }
    if (reply.size() > kLongestReply) return kReplyTooLong;
    result = static_cast<uint8_t>(reply[1]);
    if (result == kLabelParameters) DecodeParameters(reply, display);
    if (result == kLabelSerialNumber) DecodeSerialNumber(reply, display);
    return result;
  } catch (const std::exception& failure) {
    reports_.ShowMessage(failure.what());
    return result;
  }
}

void ReplyParser::DecodeParameters(const std::string& reply, WidgetDisplay& display) {
  fwVersionLow_ = ByteAt(reply, 5, "firmware version's low byte");
  fwVersionHigh_ = ByteAt(reply, 6, "firmware version's high byte");
  display.SetResultCaption("Firmware: " + std::to_string(fwVersionHigh_) + "." +
                           std::to_string(fwVersionLow_));
}

void ReplyParser::DecodeSerialNumber(const std::string& reply, WidgetDisplay& display) {
  widgetSerial_ = SerialDigits(reply, 8) + SerialDigits(reply, 7) + SerialDigits(reply, 6) +
                  SerialDigits(reply, 5);
  display.SetResultCaption("serial number:  " + widgetSerial_);
}

}  // namespace lumivane
