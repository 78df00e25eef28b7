// SPDX-License-Identifier: MIT
#pragma once

#include "network/udp_socket.h"

namespace lumivane {

// Winsock 2: non-blocking UDP, SO_BROADCAST on every socket. Winsock is
// started with the first socket (never from DllMain) and cleaned up when
// this object goes.
class Win32UdpNetwork final : public UdpNetwork {
 public:
  Win32UdpNetwork() = default;
  ~Win32UdpNetwork() override;
  Win32UdpNetwork(const Win32UdpNetwork&) = delete;
  Win32UdpNetwork& operator=(const Win32UdpNetwork&) = delete;

  std::unique_ptr<UdpSocket> OpenUdp(const UdpOptions& options) override;
  std::vector<NetworkSettings::Ipv4> BroadcastAddresses() override;

 private:
  void Start();
  bool started_ = false;
};

}  // namespace lumivane
