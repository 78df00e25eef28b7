// SPDX-License-Identifier: MIT
#pragma once

#include "network/udp_socket.h"

namespace lumivane {

// BSD sockets (Linux): non-blocking UDP, SO_BROADCAST on every socket.
class PosixUdpNetwork final : public UdpNetwork {
 public:
  std::unique_ptr<UdpSocket> OpenUdp(const UdpOptions& options) override;
  std::vector<NetworkSettings::Ipv4> BroadcastAddresses() override;
};

}  // namespace lumivane
