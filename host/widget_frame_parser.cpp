// SPDX-License-Identifier: MIT
#include "host/widget_frame_parser.h"

namespace lumivane::sim {
namespace {
constexpr uint8_t kStart = 0x7E;
constexpr uint8_t kEnd = 0xE7;
}  // namespace

std::vector<uint8_t> WidgetFrame::bytes() const {
  std::vector<uint8_t> out;
  out.reserve(payload.size() + 5);
  out.push_back(kStart);
  out.push_back(label);
  out.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
  out.push_back(static_cast<uint8_t>(payload.size() >> 8));
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(kEnd);
  return out;
}

std::vector<WidgetFrame> WidgetFrameParser::Feed(std::span<const uint8_t> bytes) {
  std::vector<WidgetFrame> done;
  for (uint8_t byte : bytes) Take(byte, done);
  return done;
}

// The message so far is lost; the byte that broke it may start the next.
void WidgetFrameParser::Break(uint8_t byte, std::vector<WidgetFrame>& done) {
  ++brokenMessages_;
  droppedBytes_ += 4 + current_.payload.size();
  state_ = State::kStart;
  current_ = WidgetFrame{};
  Take(byte, done);
}

void WidgetFrameParser::Take(uint8_t byte, std::vector<WidgetFrame>& done) {
  switch (state_) {
    case State::kStart:
      if (byte == kStart) {
        state_ = State::kLabel;
      } else {
        ++droppedBytes_;
      }
      return;
    case State::kLabel:
      current_.label = byte;
      state_ = State::kLengthLow;
      return;
    case State::kLengthLow:
      length_ = byte;
      state_ = State::kLengthHigh;
      return;
    case State::kLengthHigh:
      length_ |= static_cast<size_t>(byte) << 8;
      if (length_ > kMaxPayload) {
        // Start, label and both length bytes are lost.
        ++brokenMessages_;
        droppedBytes_ += 4;
        state_ = State::kStart;
        current_ = WidgetFrame{};
        return;
      }
      current_.payload.reserve(length_);
      state_ = length_ == 0 ? State::kEnd : State::kPayload;
      return;
    case State::kPayload:
      current_.payload.push_back(byte);
      if (current_.payload.size() == length_) state_ = State::kEnd;
      return;
    case State::kEnd:
      if (byte != kEnd) {
        Break(byte, done);
        return;
      }
      done.push_back(std::move(current_));
      current_ = WidgetFrame{};
      state_ = State::kStart;
      return;
  }
}

}  // namespace lumivane::sim
