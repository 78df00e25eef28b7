// SPDX-License-Identifier: MIT
#include "prowidget/widget_message.h"

#include <algorithm>

#include "core/failure.h"

namespace lumivane {
namespace {

constexpr char Byte(uint8_t value) {
  return static_cast<char>(value);
}

constexpr std::array<char, 6> kInitialFrame{Byte(msgStart), Byte(kLabelDmxOutput), 1, 0, 0,
                                            Byte(msgEnd)};
constexpr std::array<char, 6> kSerialNumberRequest{
    Byte(msgStart), Byte(kLabelSerialNumber), 1, 0, 0, Byte(msgEnd)};

}  // namespace

PayloadLength EncodePayloadLength(int16_t length) {
  if (length < 0 || length > 767) throw Failure(ErrorNumber::kOverflow);
  uint8_t high = 0;
  while (length >= 256) {
    length = static_cast<int16_t>(length - 256);
    ++high;
  }
  return {static_cast<uint8_t>(length), high};
}

std::string_view InitialFrame() {
  return {kInitialFrame.data(), kInitialFrame.size()};
}

std::string_view SerialNumberRequest() {
  return {kSerialNumberRequest.data(), kSerialNumberRequest.size()};
}

UniverseFrame::UniverseFrame() {
  const PayloadLength length = EncodePayloadLength(kChannelCount + 1);
  bytes_[0] = Byte(msgStart);
  bytes_[1] = Byte(kLabelDmxOutput);
  bytes_[2] = Byte(length.low);
  bytes_[3] = Byte(length.high);
  bytes_[4] = 0;  // start code
  bytes_[kSize - 1] = Byte(msgEnd);
}

std::string_view UniverseFrame::Build(const Universe& dmxData) {
  const auto levels = dmxData.levels();
  std::transform(levels.begin(), levels.end(), bytes_.begin() + 5,
                 [](uint8_t level) { return Byte(level); });
  return {bytes_.data(), bytes_.size()};
}

}  // namespace lumivane
