// SPDX-License-Identifier: MIT
// "Find nodes" against scripted datagrams: what it polls, what it lists,
// what it ignores, and when it gives up.
#include "network/node_finder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/artnet_packets.h"
#include "tests/support/expect_failure.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_udp_network.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<uint8_t>;

Bytes Reply(NetworkSettings::Ipv4 address, std::string_view name, uint8_t swOut) {
  Bytes reply(239, 0);
  const std::string id = std::string("Art-Net") + '\0';
  std::copy(id.begin(), id.end(), reply.begin());
  reply[9] = 0x21;
  std::copy(address.begin(), address.end(), reply.begin() + 10);
  std::copy(name.begin(), name.end(), reply.begin() + 44);
  reply[173] = 1;
  reply[174] = 0x80;
  reply[190] = swOut;
  return reply;
}

class FinderTest : public ::testing::Test {
 protected:
  test::FakeClock clock_;
  test::FakeUdpNetwork network_{clock_};
  ArtNetNodeFinder finder_{network_, clock_, 3s};
};

TEST_F(FinderTest, PollsEveryBroadcastAddressFromPort6454AndListensThreeSeconds) {
  network_.SetBroadcastAddresses({{10, 77, 0, 255}, {192, 168, 1, 255}});
  EXPECT_THAT(finder_.FindNodes(), IsEmpty());
  const auto opens = network_.Opens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].localPort, 6454);
  EXPECT_TRUE(opens[0].reuseAddress);
  const auto sent = network_.Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].endpoint, (UdpEndpoint{{10, 77, 0, 255}, 6454}));
  EXPECT_EQ(sent[1].endpoint, (UdpEndpoint{{192, 168, 1, 255}, 6454}));
  EXPECT_EQ(sent[0].bytes, Bytes(ArtPollPacket().begin(), ArtPollPacket().end()));
  EXPECT_EQ(clock_.Now(), 3s);
  EXPECT_EQ(network_.OpenSockets(), 0);
}

TEST_F(FinderTest, ListsEachNodeOnceWithItsPortsAndIgnoresTheRest) {
  network_.SetBroadcastAddresses({{10, 77, 0, 255}});
  const UdpEndpoint nodeA{{10, 77, 0, 1}, 6454};
  const UdpEndpoint nodeB{{10, 77, 0, 9}, 6454};
  network_.Arrive(Bytes(ArtPollPacket().begin(), ArtPollPacket().end()), {{10, 77, 0, 2}, 6454});
  network_.Arrive(Reply(nodeA.address, "Node A", 1), nodeA);
  network_.Arrive(Bytes{'A', 'r', 't'}, nodeB);
  network_.Arrive(Reply(nodeA.address, "Node A", 2), nodeA);  // its second port
  network_.Arrive(Reply(nodeA.address, "Node A", 2), nodeA);  // answered twice
  network_.Arrive(Reply({0, 0, 0, 0}, "Node B", 0), nodeB);   // states no address
  const auto nodes = finder_.FindNodes();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0].name, "Node A");
  EXPECT_THAT(nodes[0].address, ElementsAre(10, 77, 0, 1));
  EXPECT_THAT(nodes[0].outputPortAddresses, ElementsAre(1, 2));
  EXPECT_EQ(nodes[1].name, "Node B");
  EXPECT_THAT(nodes[1].address, ElementsAre(10, 77, 0, 9)) << "the sender's address instead";
}

TEST_F(FinderTest, FailsWith9300WhenItCannotListenOrPollAnywhere) {
  network_.SetBroadcastAddresses({{10, 77, 0, 255}});
  network_.FailOpens(1);
  EXPECT_FAILURE(finder_.FindNodes(), ErrorNumber::kNetworkSocketFailed);

  network_.SetBroadcastAddresses({});
  EXPECT_FAILURE(finder_.FindNodes(), ErrorNumber::kNetworkSocketFailed,
                 "The network output cannot send: no network interface has a broadcast address");

  network_.SetBroadcastAddresses({{10, 77, 0, 255}, {10, 78, 0, 255}});
  network_.FailSends(1);
  EXPECT_THAT(finder_.FindNodes(), IsEmpty()) << "one interface polled is enough";
  EXPECT_EQ(network_.OpenSockets(), 0);
}

}  // namespace
}  // namespace lumivane
