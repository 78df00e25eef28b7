// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumivane::sim {

// One message in the widget format: 0x7E, label, length (low, high),
// payload, 0xE7.
struct WidgetFrame {
  uint8_t label = 0;
  std::vector<uint8_t> payload;
  // The message as it came, delimiters included.
  std::vector<uint8_t> bytes() const;
};

// Reads widget messages out of a byte stream, as the widget does: a message
// starts at 0x7E, its length bytes say where its end delimiter must be, and
// anything that does not fit (bytes before a start, a length above
// kMaxPayload, a missing end delimiter) is dropped and the parser looks for
// the next 0x7E, starting with the byte that broke the message. Payload
// bytes equal to a delimiter are data. Pure: no I/O, no clock, no threads.
class WidgetFrameParser {
 public:
  static constexpr size_t kMaxPayload = 600;

  // Feeds bytes; returns the messages they completed, in order.
  std::vector<WidgetFrame> Feed(std::span<const uint8_t> bytes);

  // Bytes that belonged to no message, and messages thrown away.
  uint64_t droppedBytes() const { return droppedBytes_; }
  uint64_t brokenMessages() const { return brokenMessages_; }

 private:
  enum class State { kStart, kLabel, kLengthLow, kLengthHigh, kPayload, kEnd };
  void Take(uint8_t byte, std::vector<WidgetFrame>& done);
  void Break(uint8_t byte, std::vector<WidgetFrame>& done);

  State state_ = State::kStart;
  WidgetFrame current_;
  size_t length_ = 0;
  uint64_t droppedBytes_ = 0;
  uint64_t brokenMessages_ = 0;
};

}  // namespace lumivane::sim
