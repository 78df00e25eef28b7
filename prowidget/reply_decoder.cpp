// SPDX-License-Identifier: MIT
#include "prowidget/reply_decoder.h"

#include <algorithm>

#include "prowidget/hex_string.h"
#include "prowidget/widget_message.h"

namespace lumivane {
namespace {

constexpr char kMsgStart = static_cast<char>(msgStart);
constexpr char kMsgEnd = static_cast<char>(msgEnd);
constexpr size_t kShortestReply = 4;
constexpr size_t kLongestReply = 600;

// The byte at a 1-based position of the trimmed reply, if it reaches it.
std::optional<uint8_t> ByteAt(std::string_view reply, size_t position) {
  if (position > reply.size()) return std::nullopt;
  return static_cast<uint8_t>(reply[position - 1]);
}

std::string EndedBefore(std::string_view reply, const char* field, size_t position) {
  return "The widget's reply ended after " + std::to_string(reply.size()) + " bytes, before the " +
         field + " at byte " + std::to_string(position) + ".";
}

// Two hexadecimal digits for the byte at a position, "0" past the end.
std::string SerialDigits(std::string_view reply, size_t position) {
  std::string digits = "0";
  if (position <= reply.size()) {
    std::string dump = ToHexString(reply.substr(position - 1, 1));
    dump.pop_back();  // its trailing space
    digits += dump;
  }
  return digits.substr(digits.size() - std::min<size_t>(2, digits.size()));
}

// From the first start delimiter to the first end delimiter after it.
// Without a start delimiter the reply stays whole.
std::string_view FirstMessage(std::string_view reply) {
  const size_t start = reply.find(kMsgStart);
  if (start == std::string_view::npos) return reply;
  reply.remove_prefix(start);
  const size_t end = reply.find(kMsgEnd);
  if (end != std::string_view::npos) reply = reply.substr(0, end + 1);
  return reply;
}

void DecodeParameters(ProReply& decoded) {
  decoded.fwVersionLow = ByteAt(decoded.trimmed, 5);
  if (!decoded.fwVersionLow) {
    decoded.message = EndedBefore(decoded.trimmed, "firmware version's low byte", 5);
    return;
  }
  decoded.fwVersionHigh = ByteAt(decoded.trimmed, 6);
  if (!decoded.fwVersionHigh) {
    decoded.message = EndedBefore(decoded.trimmed, "firmware version's high byte", 6);
    return;
  }
  decoded.resultCaption = "Firmware: " + std::to_string(*decoded.fwVersionHigh) + "." +
                          std::to_string(*decoded.fwVersionLow);
}

void DecodeSerialNumber(ProReply& decoded) {
  const std::string_view reply = decoded.trimmed;
  decoded.serial = SerialDigits(reply, 8) + SerialDigits(reply, 7) + SerialDigits(reply, 6) +
                   SerialDigits(reply, 5);
  decoded.resultCaption = "serial number:  " + *decoded.serial;
}

}  // namespace

ProReply DecodeProReply(std::string_view bytes) {
  ProReply decoded;
  decoded.trimmed = FirstMessage(bytes);
  const std::string_view reply = decoded.trimmed;
  if (reply.size() < kShortestReply) {
    decoded.code = kReplyTooShort;
  } else if (reply.front() != kMsgStart) {
    decoded.code = kReplyNoStart;
    // Sized once: a long garbage reply costs one allocation for its text.
    constexpr std::string_view kBadStart = "Bad data received from widget, not start of message: ";
    decoded.message.reserve(kBadStart.size() + reply.size() * 3);
    decoded.message = kBadStart;
    AppendHexString(decoded.message, reply);
  } else if (reply.size() > kLongestReply) {
    decoded.code = kReplyTooLong;
  } else {
    decoded.code = static_cast<uint8_t>(reply[1]);
    if (decoded.code == kLabelParameters) DecodeParameters(decoded);
    if (decoded.code == kLabelSerialNumber) DecodeSerialNumber(decoded);
  }
  return decoded;
}

}  // namespace lumivane
