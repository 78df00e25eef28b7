// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/universe.h"

namespace lumivane {

// What the network output sends, as read from the settings at init and
// stored by the dialog's OK. kOff sends nothing and opens no socket.
struct NetworkSettings {
  enum class Protocol { kOff, kArtNet, kSacn };
  using Ipv4 = std::array<uint8_t, 4>;
  using Cid = std::array<uint8_t, 16>;

  Protocol protocol = Protocol::kOff;
  std::optional<Ipv4> address;  // none: the protocol's default destination
  uint16_t universe = 0;        // Art-Net Port-Address 0..32767, sACN 1..63999
  Cid cid{};                    // sACN source CID, stable per user and plug-in file
  std::string sourceName;       // sACN source name
};

// What the routing reaches of the network output, beside the selected
// interface. Called on the host's thread only. Never throws: a socket that
// cannot be opened or sent on is reported once through the reports, and
// the sender keeps retrying.
class NetworkLink {
 public:
  virtual ~NetworkLink() = default;
  // Starts sending with these settings (kOff: stops, opens nothing).
  virtual void OpenNetwork(const NetworkSettings& settings) = 0;
  // Stops sending; sACN announces the end of its stream first.
  virtual void CloseNetwork() = 0;
  // Copies the universe into the one waiting slot and returns at once.
  virtual void PushNetworkUniverse(const Universe& data) = 0;
};

// An Art-Net node that answered a poll.
struct FoundNode {
  std::string name;  // the long name, or the short one when that is empty
  NetworkSettings::Ipv4 address{};
  std::vector<uint16_t> outputPortAddresses;
};

// "Find nodes": polls and collects the answers for a bounded time.
class NodeFinder {
 public:
  virtual ~NodeFinder() = default;
  virtual std::vector<FoundNode> FindNodes() = 0;
};

}  // namespace lumivane
