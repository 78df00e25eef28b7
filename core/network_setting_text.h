// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/network_output.h"

namespace lumivane {

// The stored texts of the network output and what they mean. Pure
// conversions: no store, no reports.

// "ArtNet" and "sACN", exactly; any other text is off.
NetworkSettings::Protocol ReadNetOutputText(std::string_view text);
// "" for off.
std::string_view NetOutputText(NetworkSettings::Protocol protocol);

// Dotted IPv4, four decimal parts 0..255 and nothing else (no blanks).
std::optional<NetworkSettings::Ipv4> ReadIpv4Text(std::string_view text);
std::string Ipv4Text(const NetworkSettings::Ipv4& address);

// The universes a protocol carries: Art-Net Port-Address 0..32767, sACN
// universe 1..63999.
struct UniverseRange {
  int lowest, highest, missing;  // missing: what an empty text means
};
UniverseRange UniverseRangeOf(NetworkSettings::Protocol protocol);
// Digits only; empty gives the protocol's default. nullopt when the text is
// no number or lies outside the protocol's range.
std::optional<uint16_t> ReadNetUniverseText(std::string_view text,
                                            NetworkSettings::Protocol protocol);

// UUID text, 8-4-4-4-12 hexadecimal digits in either case.
std::optional<NetworkSettings::Cid> ReadCidText(std::string_view text);
std::string CidText(const NetworkSettings::Cid& cid);
// A random (version 4) UUID.
NetworkSettings::Cid MakeRandomCid();

}  // namespace lumivane
