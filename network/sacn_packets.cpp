// SPDX-License-Identifier: MIT
#include "network/sacn_packets.h"

#include <algorithm>
#include <array>

#include "network/name_text.h"

namespace lumivane {
namespace {

constexpr std::array<uint8_t, 12> kAcnId{'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
constexpr size_t kRootLayer = 16;
constexpr size_t kFramingLayer = 38;
constexpr size_t kDmpLayer = 115;
constexpr size_t kSourceName = 44;
constexpr size_t kSourceNameSize = 64;
constexpr size_t kSequence = 111;
constexpr size_t kOptions = 112;
constexpr size_t kLevels = 126;

void Put16(std::span<uint8_t> bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

void Put32(std::span<uint8_t> bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value >> 16));
  Put16(bytes, at + 2, static_cast<uint16_t>(value & 0xFFFF));
}

// A PDU's flags and length: the length counts from the field itself.
void PutFlagsAndLength(std::span<uint8_t> bytes, size_t at) {
  Put16(bytes, at, static_cast<uint16_t>(0x7000 | (bytes.size() - at)));
}

}  // namespace

SacnDataPacket::SacnDataPacket(uint16_t universe, const NetworkSettings::Cid& cid,
                               std::string_view sourceName) {
  std::span<uint8_t> bytes(bytes_);
  // Root layer.
  Put16(bytes, 0, 0x0010);  // preamble size
  Put16(bytes, 2, 0x0000);  // post-amble size
  std::copy(kAcnId.begin(), kAcnId.end(), bytes.begin() + 4);
  PutFlagsAndLength(bytes, kRootLayer);
  Put32(bytes, 18, 0x00000004);  // VECTOR_ROOT_E131_DATA
  std::copy(cid.begin(), cid.end(), bytes.begin() + 22);
  // Framing layer.
  PutFlagsAndLength(bytes, kFramingLayer);
  Put32(bytes, 40, 0x00000002);  // VECTOR_E131_DATA_PACKET
  const std::span<const uint8_t> name(reinterpret_cast<const uint8_t*>(sourceName.data()),
                                      sourceName.size());
  const auto nameLength = Utf8PrefixLength(name, kSourceNameSize - 1);
  std::copy_n(name.begin(), nameLength, bytes.begin() + kSourceName);  // NUL-padded
  bytes[108] = kSacnPriority;
  Put16(bytes, 109, 0);  // synchronization address: none
  Put16(bytes, 113, universe);
  // DMP layer.
  PutFlagsAndLength(bytes, kDmpLayer);
  bytes[117] = 0x02;     // VECTOR_DMP_SET_PROPERTY
  bytes[118] = 0xA1;     // address and data type
  Put16(bytes, 119, 0);  // first property address
  Put16(bytes, 121, 1);  // address increment
  Put16(bytes, 123, 1 + kChannelCount);
  bytes[125] = 0;  // start code: dimmer levels
}

std::span<const uint8_t> SacnDataPacket::Build(Levels levels) {
  return BuildWithOptions(levels, 0);
}

std::span<const uint8_t> SacnDataPacket::BuildTermination(Levels levels) {
  return BuildWithOptions(levels, kStreamTerminated);
}

std::span<const uint8_t> SacnDataPacket::BuildWithOptions(Levels levels, uint8_t options) {
  bytes_[kSequence] = sequence_++;
  bytes_[kOptions] = options;
  std::copy(levels.begin(), levels.end(), bytes_.begin() + kLevels);
  return bytes_;
}

NetworkSettings::Ipv4 SacnMulticastAddress(uint16_t universe) {
  return {239, 255, static_cast<uint8_t>(universe >> 8), static_cast<uint8_t>(universe & 0xFF)};
}

}  // namespace lumivane
