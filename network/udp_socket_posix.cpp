// SPDX-License-Identifier: MIT
#include "network/udp_socket_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/failure.h"

namespace lumivane {
namespace {

std::string AddressText(const UdpEndpoint& endpoint) {
  const auto& a = endpoint.address;
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]) + ":" + std::to_string(endpoint.port);
}

[[noreturn]] void ThrowSystem(const std::string& what, int error) {
  throw Failure(ErrorNumber::kNetworkSocketFailed, what + ": " + std::strerror(error));
}

sockaddr_in ToSockaddr(const UdpEndpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  std::memcpy(&address.sin_addr.s_addr, endpoint.address.data(), 4);
  return address;
}

class PosixUdpSocket final : public UdpSocket {
 public:
  explicit PosixUdpSocket(int fd) : fd_(fd) {}
  ~PosixUdpSocket() override { ::close(fd_); }
  PosixUdpSocket(const PosixUdpSocket&) = delete;
  PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

  void SendTo(std::span<const uint8_t> datagram, const UdpEndpoint& to) override {
    const sockaddr_in address = ToSockaddr(to);
    for (;;) {
      const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
      if (sent >= 0) return;
      if (errno == EINTR) continue;
      ThrowSystem("cannot send to " + AddressText(to), errno);
    }
  }

  std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, UdpEndpoint& from,
                                    std::chrono::milliseconds timeout) override {
    pollfd waiting{fd_, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) return std::nullopt;  // a timeout, or a signal: the caller's clock decides
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const ssize_t received = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&address), &length);
    if (received < 0) return std::nullopt;  // ICMP errors queued by earlier sends
    std::memcpy(from.address.data(), &address.sin_addr.s_addr, 4);
    from.port = ntohs(address.sin_port);
    return static_cast<size_t>(received);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<UdpSocket> PosixUdpNetwork::OpenUdp(const UdpOptions& options) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) ThrowSystem("cannot open a UDP socket", errno);
  auto socket = std::make_unique<PosixUdpSocket>(fd);
  const int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    ThrowSystem("cannot allow broadcast", errno);
  }
  if (options.reuseAddress && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    ThrowSystem("cannot share the port", errno);
  }
  if (options.localPort != 0) {
    const sockaddr_in local = ToSockaddr({{0, 0, 0, 0}, options.localPort});
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      ThrowSystem("cannot listen on UDP port " + std::to_string(options.localPort), errno);
    }
  }
  return socket;
}

std::vector<NetworkSettings::Ipv4> PosixUdpNetwork::BroadcastAddresses() {
  std::vector<NetworkSettings::Ipv4> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_BROADCAST) == 0) continue;
    if (entry->ifa_broadaddr == nullptr) continue;
    NetworkSettings::Ipv4 address{};
    std::memcpy(address.data(),
                &reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr.s_addr, 4);
    addresses.push_back(address);
  }
  ::freeifaddrs(list);
  return addresses;
}

}  // namespace lumivane
