// SPDX-License-Identifier: MIT
// The network sender on Winsock, under Wine: sends what network_peer send
// sends on Linux, so the same tshark decoding checks it.
//   network_sender_wine.exe artnet|sacn ADDRESS|- UNIVERSE PUSHES NAME
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "com/clock_win32.h"
#include "network/network_sender.h"
#include "network/udp_socket_win32.h"
#include "tests/network/wire_pattern.h"

namespace {

class StderrReports final : public lumivane::UserReports {
 public:
  void ShowMessage(std::string_view text) override {
    std::fprintf(stderr, "report: %.*s\n", static_cast<int>(text.size()), text.data());
    shown = true;
  }
  bool shown = false;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace lumivane;
  using namespace std::chrono_literals;
  if (argc != 6) {
    std::fprintf(stderr, "usage: network_sender_wine artnet|sacn ADDRESS|- UNIVERSE PUSHES NAME\n");
    return 2;
  }
  NetworkSettings settings;
  settings.protocol = std::string(argv[1]) == "artnet" ? NetworkSettings::Protocol::kArtNet
                                                       : NetworkSettings::Protocol::kSacn;
  if (std::string(argv[2]) != "-") {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(argv[2], "%u.%u.%u.%u", &a, &b, &c, &d) != 4) return 2;
    settings.address = NetworkSettings::Ipv4{static_cast<uint8_t>(a), static_cast<uint8_t>(b),
                                             static_cast<uint8_t>(c), static_cast<uint8_t>(d)};
  }
  settings.universe = static_cast<uint16_t>(std::stoi(argv[3]));
  const int pushes = std::stoi(argv[4]);
  settings.sourceName = argv[5];

  Win32UdpNetwork network;
  Win32Clock clock;
  StderrReports reports;
  NetworkSender sender(network, clock, reports);
  sender.OpenNetwork(settings);
  for (int push = 1; push <= pushes; ++push) {
    Universe universe;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
      universe[channel] = test::WireLevel(channel, push);
    }
    sender.PushNetworkUniverse(universe);
    std::this_thread::sleep_for(30ms);
  }
  std::this_thread::sleep_for(50ms);
  sender.CloseNetwork();
  std::printf("sent %d pushes, %s\n", pushes, reports.shown ? "with failures" : "no failure");
  return reports.shown ? 1 : 0;
}
