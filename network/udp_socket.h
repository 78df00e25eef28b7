// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/network_output.h"

namespace lumivane {

// An IPv4 address and UDP port.
struct UdpEndpoint {
  NetworkSettings::Ipv4 address{};
  uint16_t port = 0;
  friend bool operator==(const UdpEndpoint&, const UdpEndpoint&) = default;
};

// How a socket is opened. Broadcast is allowed on every socket (a unicast
// address may well be a directed broadcast the user typed).
struct UdpOptions {
  uint16_t localPort = 0;     // 0: any free port
  bool reuseAddress = false;  // share the local port with other listeners
};

// One open, non-blocking UDP socket; closed when destroyed. Failures throw
// a Failure with kNetworkSocketFailed and the system's reason.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;
  // Hands the datagram to the system whole; never waits for the network.
  virtual void SendTo(std::span<const uint8_t> datagram, const UdpEndpoint& to) = 0;
  // Waits at most `timeout` for one datagram; its size (cut to the buffer),
  // or none when nothing came.
  virtual std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, UdpEndpoint& from,
                                            std::chrono::milliseconds timeout) = 0;
};

// Opens sockets and knows the machine's broadcast addresses.
class UdpNetwork {
 public:
  virtual ~UdpNetwork() = default;
  virtual std::unique_ptr<UdpSocket> OpenUdp(const UdpOptions& options) = 0;
  // The directed broadcast address of each IPv4 interface that is up and
  // has one (loopback has none).
  virtual std::vector<NetworkSettings::Ipv4> BroadcastAddresses() = 0;
};

}  // namespace lumivane
