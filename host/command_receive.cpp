// SPDX-License-Identifier: MIT
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "host/command.h"
#include "host/dmx_packet_reader.h"
#include "host/whole_number.h"
#include "posix/unique_fd.h"

namespace lumivane::host {
namespace {

std::atomic<bool> stopRequested{false};
extern "C" void RequestReceiveStop(int) {
  stopRequested = true;
}

struct ReceiveOptions {
  std::string address = "127.0.0.1";
  uint16_t artNetPort = 6454;
  uint16_t sacnPort = 5568;
  int32_t seconds = 0;  // 0: until interrupted
  int32_t channels = 16;
};

std::optional<ReceiveOptions> Parse(const Arguments& args) {
  ReceiveOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "%s needs a value\n", a.c_str());
      return std::nullopt;
    }
    const std::string& v = args[++i];
    bool good = true;
    if (a == "--address") {
      in_addr parsed{};
      good = inet_pton(AF_INET, v.c_str(), &parsed) == 1;
      o.address = v;
    } else if (a == "--artnet-port" || a == "--sacn-port") {
      const auto n = WholeNumber<uint16_t>(v);
      good = n.has_value() && *n > 0;
      if (good) (a == "--artnet-port" ? o.artNetPort : o.sacnPort) = *n;
    } else if (a == "--seconds" || a == "--channels") {
      const auto n = WholeNumber<int32_t>(v);
      good = n.has_value() && *n >= 0 && (a == "--seconds" || (*n >= 1 && *n <= 512));
      if (good) (a == "--seconds" ? o.seconds : o.channels) = *n;
    } else {
      std::fprintf(stderr, "unknown receive option %s\n", a.c_str());
      return std::nullopt;
    }
    if (!good) {
      std::fprintf(stderr, "bad value for %s: %s\n", a.c_str(), v.c_str());
      return std::nullopt;
    }
  }
  return o;
}

UniqueFd Listen(const std::string& address, uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  const int on = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &local.sin_addr);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    std::fprintf(stderr, "cannot listen on %s:%u: %s\n", address.c_str(), port,
                 std::strerror(errno));
    return UniqueFd();
  }
  return fd;
}

void Show(const ReceivedUniverse& u, const sockaddr_in& from, double at, int channels) {
  char source[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
  const bool artNet = u.protocol == ReceivedUniverse::Protocol::kArtNet;
  std::printf("%9.3f s  %s %u seq %3u from %s%s%s:", at, artNet ? "Art-Net" : "sACN", u.universe,
              u.sequence, source, artNet ? "" : (" \"" + u.sourceName + "\"").c_str(),
              u.streamTerminated ? " stream terminated" : "");
  for (int channel = 1; channel <= channels && channel <= u.levelCount; ++channel) {
    std::printf(" %d:%u", channel, u.levels[channel - 1]);
  }
  std::printf("\n");
}

int RunReceive(const HostOptions&, const Arguments& args) {
  const auto options = Parse(args);
  if (!options) return kExitUsage;
  std::array<UniqueFd, 2> sockets{Listen(options->address, options->artNetPort),
                                  Listen(options->address, options->sacnPort)};
  if (!sockets[0] || !sockets[1]) return kExitCallFailed;
  std::printf("receiving Art-Net on %s:%u and sACN on %s:%u\n", options->address.c_str(),
              options->artNetPort, options->address.c_str(), options->sacnPort);
  std::fflush(stdout);

  ::signal(SIGINT, RequestReceiveStop);
  ::signal(SIGTERM, RequestReceiveStop);
  const auto start = std::chrono::steady_clock::now();
  uint64_t packets = 0, ignored = 0;
  std::array<uint8_t, 1500> buffer{};
  while (!stopRequested) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (options->seconds > 0 && elapsed >= std::chrono::seconds(options->seconds)) break;
    std::array<pollfd, 2> waiting{{{sockets[0].get(), POLLIN, 0}, {sockets[1].get(), POLLIN, 0}}};
    if (::poll(waiting.data(), waiting.size(), 100) <= 0) continue;
    for (size_t i = 0; i < waiting.size(); ++i) {
      if ((waiting[i].revents & POLLIN) == 0) continue;
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t size = ::recvfrom(sockets[i].get(), buffer.data(), buffer.size(), 0,
                                      reinterpret_cast<sockaddr*>(&from), &length);
      if (size < 0) continue;
      const auto universe = ReadDmxPacket(std::span(buffer).first(static_cast<size_t>(size)));
      if (!universe) {
        ++ignored;
        continue;
      }
      ++packets;
      Show(*universe, from,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
           options->channels);
    }
    std::fflush(stdout);
  }
  std::printf("%llu DMX packets, %llu other datagrams ignored\n",
              static_cast<unsigned long long>(packets), static_cast<unsigned long long>(ignored));
  return kExitOk;
}

}  // namespace

const Command kReceiveCommand{
    "receive", "show the Art-Net and sACN a network output sends",
    "usage: lumivane-host [options] receive [--address A] [--artnet-port N] [--sacn-port N]\n"
    "                                       [--channels N] [--seconds S]\n"
    "Listens for Art-Net (UDP 6454) and sACN (UDP 5568) on address A (default\n"
    "127.0.0.1, loopback: store \"NetAddress\" 127.0.0.1 to send there) and prints\n"
    "every DMX packet that arrives: its protocol, universe, sequence, sender and\n"
    "the levels of the first N channels (default 16), until interrupted (or for S\n"
    "seconds). Other datagrams are counted and ignored. A receiver of its own on\n"
    "other ports takes --artnet-port and --sacn-port.\n",
    RunReceive};

}  // namespace lumivane::host
