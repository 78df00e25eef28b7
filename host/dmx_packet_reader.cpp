// SPDX-License-Identifier: MIT
#include "host/dmx_packet_reader.h"

#include <algorithm>
#include <cstring>

namespace lumivane::host {
namespace {

uint16_t Get16(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] << 8 | d[at + 1]);
}

uint32_t Get32(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint32_t>(Get16(d, at)) << 16 | Get16(d, at + 2);
}

bool StartsWith(std::span<const uint8_t> d, const char* id, size_t size) {
  return d.size() >= size && std::memcmp(d.data(), id, size) == 0;
}

std::optional<ReceivedUniverse> ReadArtDmx(std::span<const uint8_t> d) {
  constexpr size_t kHeader = 18;
  if (d.size() < kHeader || d[8] != 0x00 || d[9] != 0x50) return std::nullopt;
  const uint16_t length = Get16(d, 16);
  if (length < 2 || length > 512 || d.size() < kHeader + length) return std::nullopt;
  ReceivedUniverse u;
  u.protocol = ReceivedUniverse::Protocol::kArtNet;
  u.sequence = d[12];
  u.universe = static_cast<uint16_t>((d[15] & 0x7F) << 8 | d[14]);
  u.levelCount = length;
  std::copy_n(d.begin() + kHeader, length, u.levels.begin());
  return u;
}

std::optional<ReceivedUniverse> ReadSacn(std::span<const uint8_t> d) {
  constexpr size_t kValues = 125;
  if (d.size() < kValues + 1) return std::nullopt;
  if (Get16(d, 0) != 0x0010 || Get32(d, 18) != 4 || Get32(d, 40) != 2) return std::nullopt;
  if (d[117] != 0x02 || d[118] != 0xA1) return std::nullopt;
  const uint16_t count = Get16(d, 123);  // the start code and the levels
  if (count < 1 || count > 513 || d.size() < kValues + count || d[kValues] != 0)
    return std::nullopt;
  ReceivedUniverse u;
  u.protocol = ReceivedUniverse::Protocol::kSacn;
  u.sequence = d[111];
  u.streamTerminated = (d[112] & 0x40) != 0;
  u.universe = Get16(d, 113);
  const auto name = d.subspan(44, 64);
  const auto end = std::find(name.begin(), name.end(), uint8_t{0});
  // Shown as received; a terminal is the only reader.
  u.sourceName.assign(name.begin(), end);
  for (char& c : u.sourceName) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  u.levelCount = static_cast<uint16_t>(count - 1);
  std::copy_n(d.begin() + kValues + 1, u.levelCount, u.levels.begin());
  return u;
}

}  // namespace

std::optional<ReceivedUniverse> ReadDmxPacket(std::span<const uint8_t> datagram) {
  if (StartsWith(datagram, "Art-Net", 8)) return ReadArtDmx(datagram);
  if (StartsWith(datagram, "\0\x10\0\0ASC-E1.17\0\0\0", 16)) return ReadSacn(datagram);
  return std::nullopt;
}

}  // namespace lumivane::host
