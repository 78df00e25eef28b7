// SPDX-License-Identifier: MIT
#include "network/udp_socket_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

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

// Winsock's own names for the failures a sender meets; the number for the rest.
std::string ErrorText(int error) {
  switch (error) {
    case WSAENETUNREACH:
      return "Network is unreachable";
    case WSAEHOSTUNREACH:
      return "No route to host";
    case WSAENETDOWN:
      return "Network is down";
    case WSAEACCES:
      return "Permission denied";
    case WSAEADDRINUSE:
      return "Address already in use";
    case WSAEADDRNOTAVAIL:
      return "Cannot assign requested address";
    case WSAENOBUFS:
      return "No buffer space available";
    case WSAEWOULDBLOCK:
      return "Resource temporarily unavailable";
    case WSAEMFILE:
      return "Too many open sockets";
    case WSANOTINITIALISED:
      return "Winsock is not started";
    default:
      return "Winsock error " + std::to_string(error);
  }
}

[[noreturn]] void ThrowSocket(const std::string& what, int error) {
  throw Failure(ErrorNumber::kNetworkSocketFailed, what + ": " + ErrorText(error));
}

sockaddr_in ToSockaddr(const UdpEndpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  std::memcpy(&address.sin_addr.s_addr, endpoint.address.data(), 4);
  return address;
}

class Win32UdpSocket final : public UdpSocket {
 public:
  explicit Win32UdpSocket(SOCKET socket) : socket_(socket) {}
  ~Win32UdpSocket() override { ::closesocket(socket_); }
  Win32UdpSocket(const Win32UdpSocket&) = delete;
  Win32UdpSocket& operator=(const Win32UdpSocket&) = delete;

  void SendTo(std::span<const uint8_t> datagram, const UdpEndpoint& to) override {
    const sockaddr_in address = ToSockaddr(to);
    const int sent = ::sendto(socket_, reinterpret_cast<const char*>(datagram.data()),
                              static_cast<int>(datagram.size()), 0,
                              reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent == SOCKET_ERROR) ThrowSocket("cannot send to " + AddressText(to), WSAGetLastError());
  }

  std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, UdpEndpoint& from,
                                    std::chrono::milliseconds timeout) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{static_cast<long>(timeout.count() / 1000),
                 static_cast<long>(timeout.count() % 1000 * 1000)};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) return std::nullopt;
    sockaddr_in address{};
    int length = sizeof address;
    const int received =
        ::recvfrom(socket_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                   0, reinterpret_cast<sockaddr*>(&address), &length);
    // A datagram larger than the buffer arrives cut (WSAEMSGSIZE); other
    // errors are ICMP news of earlier sends.
    if (received == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEMSGSIZE) return std::nullopt;
      std::memcpy(from.address.data(), &address.sin_addr.s_addr, 4);
      from.port = ntohs(address.sin_port);
      return buffer.size();
    }
    std::memcpy(from.address.data(), &address.sin_addr.s_addr, 4);
    from.port = ntohs(address.sin_port);
    return static_cast<size_t>(received);
  }

 private:
  SOCKET socket_;
};

}  // namespace

Win32UdpNetwork::~Win32UdpNetwork() {
  if (started_) ::WSACleanup();
}

void Win32UdpNetwork::Start() {
  if (started_) return;
  WSADATA data{};
  const int error = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (error != 0) ThrowSocket("cannot start Winsock", error);
  started_ = true;
}

std::unique_ptr<UdpSocket> Win32UdpNetwork::OpenUdp(const UdpOptions& options) {
  Start();
  const SOCKET raw = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (raw == INVALID_SOCKET) ThrowSocket("cannot open a UDP socket", WSAGetLastError());
  auto socket = std::make_unique<Win32UdpSocket>(raw);
  u_long nonBlocking = 1;
  if (::ioctlsocket(raw, FIONBIO, &nonBlocking) != 0) {
    ThrowSocket("cannot make the socket non-blocking", WSAGetLastError());
  }
  const BOOL on = TRUE;
  if (::setsockopt(raw, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) !=
      0) {
    ThrowSocket("cannot allow broadcast", WSAGetLastError());
  }
  if (options.reuseAddress && ::setsockopt(raw, SOL_SOCKET, SO_REUSEADDR,
                                           reinterpret_cast<const char*>(&on), sizeof on) != 0) {
    ThrowSocket("cannot share the port", WSAGetLastError());
  }
  if (options.localPort != 0) {
    const sockaddr_in local = ToSockaddr({{0, 0, 0, 0}, options.localPort});
    if (::bind(raw, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      ThrowSocket("cannot listen on UDP port " + std::to_string(options.localPort),
                  WSAGetLastError());
    }
  }
  return socket;
}

std::vector<NetworkSettings::Ipv4> Win32UdpNetwork::BroadcastAddresses() {
  std::vector<NetworkSettings::Ipv4> addresses;
  Start();
  const SOCKET raw = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (raw == INVALID_SOCKET) return addresses;
  INTERFACE_INFO interfaces[32];
  DWORD bytes = 0;
  const int status = ::WSAIoctl(raw, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces,
                                sizeof interfaces, &bytes, nullptr, nullptr);
  ::closesocket(raw);
  if (status != 0) return addresses;
  for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i) {
    const INTERFACE_INFO& entry = interfaces[i];
    if ((entry.iiFlags & IFF_UP) == 0 || (entry.iiFlags & IFF_BROADCAST) == 0 ||
        (entry.iiFlags & IFF_LOOPBACK) != 0) {
      continue;
    }
    // The interface's own broadcast field often reads 255.255.255.255: the
    // directed one comes from the address and the mask.
    const uint32_t address = entry.iiAddress.AddressIn.sin_addr.s_addr;
    const uint32_t mask = entry.iiNetmask.AddressIn.sin_addr.s_addr;
    const uint32_t broadcast = address | ~mask;
    NetworkSettings::Ipv4 ipv4{};
    std::memcpy(ipv4.data(), &broadcast, 4);
    addresses.push_back(ipv4);
  }
  return addresses;
}

}  // namespace lumivane
