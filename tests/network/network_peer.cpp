// SPDX-License-Identifier: MIT
// The test's side of the wire checks: drives the real sender and finder on
// real sockets, plays an Art-Net node, and checks what Wireshark's
// dissectors decoded against what was sent. Every loop is bounded.
//
//   network_peer send artnet|sacn ADDRESS|- UNIVERSE PUSHES NAME
//   network_peer check artnet|sacn UNIVERSE PUSHES NAME < tshark fields
//   network_peer node NAME OWN_ADDRESS REPLY_TO SWOUT
//   network_peer find LISTEN_MS
#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/failure.h"
#include "network/artnet_packets.h"
#include "network/network_sender.h"
#include "network/node_finder.h"
#include "network/udp_socket_posix.h"
#include "posix/clock_posix.h"
#include "tests/network/wire_pattern.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;

using test::WireLevel;

std::string ExpectedHex(int push) {
  std::string hex;
  char byte[3];
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    std::snprintf(byte, sizeof byte, "%02x", WireLevel(channel, push));
    hex += byte;
  }
  return hex;
}

NetworkSettings::Ipv4 ParseAddress(const std::string& text) {
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1)
    throw std::runtime_error("bad address " + text);
  NetworkSettings::Ipv4 ipv4{};
  std::memcpy(ipv4.data(), &address.s_addr, 4);
  return ipv4;
}

class StderrReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override {
    std::cerr << "report: " << text << "\n";
    shown = true;
  }
  bool shown = false;
};

int Send(const std::vector<std::string>& args) {
  NetworkSettings settings;
  settings.protocol =
      args[0] == "artnet" ? NetworkSettings::Protocol::kArtNet : NetworkSettings::Protocol::kSacn;
  if (args[1] != "-") settings.address = ParseAddress(args[1]);
  settings.universe = static_cast<uint16_t>(std::stoi(args[2]));
  const int pushes = std::stoi(args[3]);
  settings.sourceName = args[4];
  for (size_t i = 0; i < settings.cid.size(); ++i) settings.cid[i] = static_cast<uint8_t>(i * 17);

  PosixUdpNetwork network;
  PosixClock clock;
  StderrReports reports;
  NetworkSender sender(network, clock, reports);
  sender.OpenNetwork(settings);
  for (int push = 1; push <= pushes; ++push) {
    Universe universe;
    for (int channel = 1; channel <= kChannelCount; ++channel)
      universe[channel] = WireLevel(channel, push);
    sender.PushNetworkUniverse(universe);
    std::this_thread::sleep_for(30ms);  // above the frame time: each push its packet
  }
  std::this_thread::sleep_for(50ms);
  sender.CloseNetwork();
  return reports.shown ? 1 : 0;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

// The levels of acn.dmx.data: a header row of channel numbers, then rows
// "001-020: 0E 11 ... | ...", comma-separated; the hex bytes of every row.
std::string SacnLevelsHex(const std::string& field) {
  std::string hex;
  size_t row = field.find(',');
  while (row != std::string::npos) {
    const size_t next = field.find(',', row + 1);
    std::stringstream values(field.substr(field.find(':', row) + 1, next - row));
    std::string token;
    while (values >> token) {
      if (token.size() != 2 || !std::isxdigit(static_cast<unsigned char>(token[0]))) continue;
      for (char c : token) hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    row = next;
  }
  return hex;
}

// The packets must carry pushes in order, none twice, ending with the last.
int Check(const std::vector<std::string>& args) {
  const bool artNet = args[0] == "artnet";
  const std::string universe = args[1];
  const int pushes = std::stoi(args[2]);
  const std::string name = args[3];
  int failures = 0;
  const auto fail = [&](int packet, const std::string& what) {
    std::cerr << "packet " << packet << ": " << what << "\n";
    ++failures;
  };
  std::string line;
  int packet = 0, lastPush = 0, terminated = 0;
  long expectedSequence = artNet ? 1 : 0;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    ++packet;
    const auto f = Fields(line);
    std::string sequence, data;
    if (artNet) {
      if (f.size() != 4) {
        fail(packet, "fields: " + line);
        continue;
      }
      sequence = f[0], data = f[3];
      if (f[1] != universe) fail(packet, "universe " + f[1]);
      if (f[2] != "512") fail(packet, "length " + f[2]);
    } else {
      if (f.size() != 8) {
        fail(packet, "fields: " + line);
        continue;
      }
      sequence = f[2], data = SacnLevelsHex(f[7]);
      if (f[0] != name) fail(packet, "source name " + f[0]);
      if (f[1] != "100") fail(packet, "priority " + f[1]);
      if (f[4] != universe) fail(packet, "universe " + f[4]);
      if (f[5] != "0") fail(packet, "start code " + f[5]);
      if (f[6] != "513") fail(packet, "count " + f[6]);
      const long options = std::stol(f[3], nullptr, 0);
      if (options == 0x40) {
        ++terminated;
      } else if (options != 0 || terminated > 0) {
        fail(packet, "options " + f[3] + " after " + std::to_string(terminated) + " terminated");
      }
    }
    if (std::stol(sequence) != expectedSequence) fail(packet, "sequence " + sequence);
    expectedSequence = artNet ? expectedSequence % 255 + 1 : (expectedSequence + 1) % 256;
    int push = std::max(lastPush, 1);
    while (push <= pushes && ExpectedHex(push) != data) ++push;
    if (push > pushes || (push == lastPush && terminated == 0)) {
      fail(packet, "levels of no later push: " + data.substr(0, 40) + "...");
    } else {
      lastPush = push;
    }
  }
  if (packet == 0) fail(0, "nothing captured");
  if (lastPush != pushes) fail(packet, "the last push never went out");
  if (!artNet && terminated != 3) fail(packet, std::to_string(terminated) + " terminated packets");
  std::cout << packet << " packets decoded, " << (artNet ? "Art-Net" : "sACN") << " universe "
            << universe << ", last push " << lastPush << " of " << pushes << ", " << terminated
            << " terminated, " << failures << " mismatches\n";
  return failures == 0 ? 0 : 1;
}

int Node(const std::vector<std::string>& args) {
  PosixUdpNetwork network;
  auto socket = network.OpenUdp({.localPort = kArtNetPort, .reuseAddress = true});
  std::vector<uint8_t> reply(239, 0);
  const std::string id = std::string("Art-Net") + '\0';
  std::copy(id.begin(), id.end(), reply.begin());
  reply[9] = 0x21;
  const auto own = ParseAddress(args[1]);
  std::copy(own.begin(), own.end(), reply.begin() + 10);
  reply[14] = 0x36, reply[15] = 0x19;
  std::copy(args[0].begin(), args[0].end(), reply.begin() + 44);
  reply[18] = 0x01;  // Net 1
  reply[173] = 1;
  reply[174] = 0x80;
  reply[190] = static_cast<uint8_t>(std::stoi(args[3]));
  const auto poll = ArtPollPacket();
  std::array<uint8_t, 1024> buffer{};
  const auto giveUp = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < giveUp) {
    UdpEndpoint from;
    const auto size = socket->ReceiveFrom(buffer, from, 100ms);
    if (!size || *size != poll.size() || !std::equal(poll.begin(), poll.end(), buffer.begin()))
      continue;
    socket->SendTo(reply, {ParseAddress(args[2]), kArtNetPort});
    std::cout << "answered a poll from " << int(from.address[0]) << "." << int(from.address[1])
              << "." << int(from.address[2]) << "." << int(from.address[3]) << "\n";
    return 0;
  }
  std::cerr << "no ArtPoll within 5 s\n";
  return 1;
}

int Find(const std::vector<std::string>& args) {
  PosixUdpNetwork network;
  PosixClock clock;
  ArtNetNodeFinder finder(network, clock, std::chrono::milliseconds(std::stoi(args[0])));
  for (const auto& node : finder.FindNodes()) {
    std::cout << node.name << "\t" << int(node.address[0]) << "." << int(node.address[1]) << "."
              << int(node.address[2]) << "." << int(node.address[3]) << "\t";
    for (const auto portAddress : node.outputPortAddresses) std::cout << portAddress << " ";
    std::cout << "\n";
  }
  return 0;
}

}  // namespace
}  // namespace lumivane

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto expect = [&](size_t count) { return args.size() == count + 1; };
  try {
    if (!args.empty() && args[0] == "send" && expect(5))
      return lumivane::Send({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "check" && expect(4))
      return lumivane::Check({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "node" && expect(4))
      return lumivane::Node({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "find" && expect(1))
      return lumivane::Find({args.begin() + 1, args.end()});
  } catch (const std::exception& e) {
    std::cerr << "network_peer: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: see the comment at the top of network_peer.cpp\n";
  return 2;
}
