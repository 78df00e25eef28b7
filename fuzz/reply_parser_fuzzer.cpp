// SPDX-License-Identifier: MIT
// Any bytes a device sends back: the parser's result is a code or the
// label, the reply is cut to its first message, the dump shows every byte
// received, the serial number and firmware captions match the message, and
// at most one message box is shown.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "prowidget/hex_string.h"
#include "prowidget/reply_parser.h"

using namespace lumivane;

namespace {

struct Recorder final : UserReports, WidgetDisplay {
  std::vector<std::string> messages;
  std::optional<std::string> info, result;
  int listEntries = 0;
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void AddListEntry(std::string_view) override { ++listEntries; }
  void SetLastEntryItemData(int32_t) override { ++listEntries; }
  void SetInfoCaption(std::string_view text) override { info = text; }
  void SetResultCaption(std::string_view text) override { result = text; }
};

// The dump written out longhand: digits without leading zeros, a space after each.
std::string Dump(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 16) out += kDigits[b >> 4];
    out += kDigits[b & 15];
    out += ' ';
  }
  return out;
}

std::string TwoDigits(uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 15]};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Recorder recorder;
  static ReplyParser parser(recorder);  // one parser: the serial number lives on
  recorder = Recorder{};
  recorder.result = "before";
  const std::string received(reinterpret_cast<const char*>(data), size);
  const std::string serialBefore = parser.widgetSerial();

  std::string reply = received;
  const int32_t code = parser.ParseProReply(reply, recorder);

  FUZZ_CHECK(code == kReplyTooShort || code == kReplyNoStart || code == kReplyTooLong ||
             (code >= 0 && code <= 255));
  FUZZ_CHECK(ToHexString(received) == Dump(received));
  FUZZ_CHECK(recorder.info == Dump(received));
  FUZZ_CHECK(recorder.messages.size() <= 1);
  FUZZ_CHECK(recorder.listEntries == 0);

  // The first message: first 0x7E up to the first 0xE7 after it.
  std::string trimmed = received;
  const size_t start = received.find('\x7E');
  if (start != std::string::npos) {
    trimmed = received.substr(start);
    const size_t end = trimmed.find('\xE7');
    if (end != std::string::npos) trimmed.resize(end + 1);
  }
  FUZZ_CHECK(reply == trimmed);

  if (code != kLabelSerialNumber) FUZZ_CHECK(parser.widgetSerial() == serialBefore);
  if (code != kLabelParameters) {
    FUZZ_CHECK(parser.fwVersionLow() == 0 && parser.fwVersionHigh() == 0);
  }
  const bool decoded = code == kLabelParameters || code == kLabelSerialNumber;
  if (!decoded) FUZZ_CHECK(recorder.result == "before");

  if (code == kReplyTooShort) {
    FUZZ_CHECK(trimmed.size() < 4);
    FUZZ_CHECK(recorder.messages.empty());
  } else if (code == kReplyNoStart) {
    FUZZ_CHECK(start == std::string::npos && received.size() >= 4);
    FUZZ_CHECK(recorder.messages.size() == 1);
    FUZZ_CHECK(recorder.messages[0] ==
               "Bad data received from widget, not start of message: " + Dump(received));
  } else if (code == kReplyTooLong) {
    FUZZ_CHECK(trimmed.size() > 600 && trimmed[0] == '\x7E');
    FUZZ_CHECK(recorder.messages.empty());
  } else {
    FUZZ_CHECK(trimmed.size() >= 4 && trimmed.size() <= 600);
    FUZZ_CHECK(trimmed[0] == '\x7E');
    FUZZ_CHECK(code == static_cast<uint8_t>(trimmed[1]));
  }

  if (code == kLabelSerialNumber) {
    std::string serial;
    for (size_t position : {8, 7, 6, 5}) {
      serial += position <= trimmed.size() ? TwoDigits(static_cast<uint8_t>(trimmed[position - 1]))
                                           : std::string("0");
    }
    FUZZ_CHECK(parser.widgetSerial() == serial);
    FUZZ_CHECK(serial.size() >= 4 && serial.size() <= 8);
    FUZZ_CHECK(recorder.result == "serial number:  " + serial);
    FUZZ_CHECK(recorder.messages.empty());
  }
  if (code == kLabelParameters) {
    if (trimmed.size() >= 6) {
      const auto low = static_cast<uint8_t>(trimmed[4]);
      const auto high = static_cast<uint8_t>(trimmed[5]);
      FUZZ_CHECK(parser.fwVersionLow() == low && parser.fwVersionHigh() == high);
      FUZZ_CHECK(recorder.result ==
                 "Firmware: " + std::to_string(high) + "." + std::to_string(low));
      FUZZ_CHECK(recorder.messages.empty());
    } else {
      // Too short to decode: the failure is shown, the caption left alone.
      FUZZ_CHECK(recorder.messages.size() == 1 && !recorder.messages[0].empty());
      FUZZ_CHECK(recorder.result == "before");
    }
  }
  return 0;
}
