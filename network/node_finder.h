// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <vector>

#include "core/clock.h"
#include "core/network_output.h"
#include "network/udp_socket.h"

namespace lumivane {

// "Find nodes" over Art-Net: listens on UDP 6454 (shared with other
// listeners, broadcast allowed, as nodes often answer to the subnet's
// broadcast), sends one ArtPoll to each interface's broadcast address and
// collects the ArtPollReply answers for `listenTime`. Anything else that
// arrives is ignored. One entry per node address, its output Port-Addresses
// merged over its replies, in the order the nodes first answered.
//
// Host thread; blocks for `listenTime` (the dialog's button waits for it).
// Throws a Failure (9300) when port 6454 cannot be opened or no poll could
// be sent.
class ArtNetNodeFinder final : public NodeFinder {
 public:
  ArtNetNodeFinder(UdpNetwork& network, Clock& clock,
                   std::chrono::milliseconds listenTime = std::chrono::seconds(3));
  std::vector<FoundNode> FindNodes() override;

 private:
  UdpNetwork& network_;
  Clock& clock_;
  const std::chrono::milliseconds listenTime_;
};

}  // namespace lumivane
