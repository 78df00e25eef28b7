// SPDX-License-Identifier: MIT
#include "network/node_finder.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/failure.h"
#include "network/artnet_packets.h"

namespace lumivane {
namespace {

// The largest ArtPollReply is 239 bytes; anything longer is cut and still
// parsed, as the fields read lie within the first 239.
constexpr size_t kReceiveSize = 1024;

void Merge(std::vector<FoundNode>& nodes, FoundNode node) {
  const auto same = std::find_if(nodes.begin(), nodes.end(),
                                 [&](const FoundNode& n) { return n.address == node.address; });
  if (same == nodes.end()) {
    nodes.push_back(std::move(node));
    return;
  }
  if (same->name.empty()) same->name = node.name;
  for (const uint16_t portAddress : node.outputPortAddresses) {
    auto& ports = same->outputPortAddresses;
    if (std::find(ports.begin(), ports.end(), portAddress) == ports.end()) {
      ports.push_back(portAddress);
    }
  }
}

}  // namespace

ArtNetNodeFinder::ArtNetNodeFinder(UdpNetwork& network, Clock& clock,
                                   std::chrono::milliseconds listenTime)
    : network_(network), clock_(clock), listenTime_(listenTime) {}

std::vector<FoundNode> ArtNetNodeFinder::FindNodes() {
  const auto socket = network_.OpenUdp({.localPort = kArtNetPort, .reuseAddress = true});
  const auto addresses = network_.BroadcastAddresses();
  std::string lastFailure = "no network interface has a broadcast address";
  bool polled = false;
  for (const auto& address : addresses) {
    try {
      socket->SendTo(ArtPollPacket(), {address, kArtNetPort});
      polled = true;
    } catch (const Failure& failure) {
      lastFailure = failure.what();  // another interface may still reach nodes
    }
  }
  if (!polled) throw Failure(ErrorNumber::kNetworkSocketFailed, lastFailure);

  std::vector<FoundNode> nodes;
  std::array<uint8_t, kReceiveSize> buffer{};
  const Clock::Time end = clock_.Now() + listenTime_;
  for (;;) {
    const Clock::Time now = clock_.Now();
    if (now >= end) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
    UdpEndpoint from;
    const auto size = socket->ReceiveFrom(buffer, from, left);
    if (!size) continue;
    auto node = ParseArtPollReply(std::span(buffer).first(*size));
    if (!node) continue;
    if (node->address == NetworkSettings::Ipv4{}) node->address = from.address;
    Merge(nodes, std::move(*node));
  }
  return nodes;
}

}  // namespace lumivane
