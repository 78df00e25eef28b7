// SPDX-License-Identifier: MIT
#include "core/network_setting_text.h"

#include <random>

namespace lumivane {
namespace {

constexpr std::string_view kArtNet = "ArtNet";
constexpr std::string_view kSacn = "sACN";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Digits only, at most `maxDigits` of them.
std::optional<int> ReadDigits(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

NetworkSettings::Protocol ReadNetOutputText(std::string_view text) {
  if (text == kArtNet) return NetworkSettings::Protocol::kArtNet;
  if (text == kSacn) return NetworkSettings::Protocol::kSacn;
  return NetworkSettings::Protocol::kOff;
}

std::string_view NetOutputText(NetworkSettings::Protocol protocol) {
  switch (protocol) {
    case NetworkSettings::Protocol::kArtNet:
      return kArtNet;
    case NetworkSettings::Protocol::kSacn:
      return kSacn;
    case NetworkSettings::Protocol::kOff:
      break;
  }
  return "";
}

std::optional<NetworkSettings::Ipv4> ReadIpv4Text(std::string_view text) {
  NetworkSettings::Ipv4 address{};
  for (size_t part = 0; part < address.size(); ++part) {
    const size_t dot = text.find('.');
    const bool last = part + 1 == address.size();
    if ((dot == std::string_view::npos) != last) return std::nullopt;
    const std::optional<int> value = ReadDigits(text.substr(0, dot), 3);
    if (!value || *value > 255) return std::nullopt;
    address[part] = static_cast<uint8_t>(*value);
    text = last ? std::string_view() : text.substr(dot + 1);
  }
  return address;
}

std::string Ipv4Text(const NetworkSettings::Ipv4& address) {
  std::string text;
  for (uint8_t part : address) {
    if (!text.empty()) text += '.';
    text += std::to_string(part);
  }
  return text;
}

UniverseRange UniverseRangeOf(NetworkSettings::Protocol protocol) {
  if (protocol == NetworkSettings::Protocol::kSacn) return {1, 63999, 1};
  return {0, 32767, 0};
}

std::optional<uint16_t> ReadNetUniverseText(std::string_view text,
                                            NetworkSettings::Protocol protocol) {
  const UniverseRange range = UniverseRangeOf(protocol);
  if (text.empty()) return static_cast<uint16_t>(range.missing);
  // Leading zeros are harmless; more than 9 digits are out of range anyway.
  const std::optional<int> value = ReadDigits(text, 9);
  if (!value || *value < range.lowest || *value > range.highest) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

std::optional<NetworkSettings::Cid> ReadCidText(std::string_view text) {
  constexpr std::string_view kShape = "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
  if (text.size() != kShape.size()) return std::nullopt;
  NetworkSettings::Cid cid{};
  size_t nibble = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == '-') {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int value = HexValue(text[i]);
    if (value < 0) return std::nullopt;
    cid[nibble / 2] = static_cast<uint8_t>(cid[nibble / 2] << 4 | value);
    ++nibble;
  }
  return cid;
}

std::string CidText(const NetworkSettings::Cid& cid) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < cid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[cid[i] >> 4];
    text += kHex[cid[i] & 0x0F];
  }
  return text;
}

NetworkSettings::Cid MakeRandomCid() {
  std::random_device source;
  NetworkSettings::Cid cid{};
  for (uint8_t& byte : cid) byte = static_cast<uint8_t>(source() & 0xFF);
  cid[6] = static_cast<uint8_t>((cid[6] & 0x0F) | 0x40);  // version 4
  cid[8] = static_cast<uint8_t>((cid[8] & 0x3F) | 0x80);  // variant 1
  return cid;
}

}  // namespace lumivane
