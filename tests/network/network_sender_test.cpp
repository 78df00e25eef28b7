// SPDX-License-Identifier: MIT
// The sender thread on a clock the test moves: where packets go, how often,
// what they carry, how the stream ends, and how a failing socket is shown.
#include "network/network_sender.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/opendmx/wait_until.h"
#include "tests/support/fake_udp_network.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Protocol = NetworkSettings::Protocol;
using Datagram = test::FakeUdpNetwork::Datagram;

constexpr auto kFrame = 23ms;

NetworkSettings ArtNet(uint16_t portAddress = 0) {
  NetworkSettings settings;
  settings.protocol = Protocol::kArtNet;
  settings.address = NetworkSettings::Ipv4{10, 0, 0, 5};
  settings.universe = portAddress;
  return settings;
}

NetworkSettings Sacn(uint16_t universe = 1) {
  NetworkSettings settings;
  settings.protocol = Protocol::kSacn;
  settings.universe = universe;
  settings.sourceName = "Lumivane";
  return settings;
}

// A universe that says which push it was: channels 1 and 2 hold the count.
Universe Numbered(int n) {
  Universe universe;
  universe[1] = static_cast<uint8_t>(n >> 8);
  universe[2] = static_cast<uint8_t>(n & 0xFF);
  universe[512] = 0xA5;
  return universe;
}

class SenderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    sender_.CloseNetwork();
    for (auto thread : reports_.threads) EXPECT_EQ(thread, std::this_thread::get_id());
  }

  // Moves the clock and waits until the sender has reacted to everything
  // before: pushes, the new time.
  void Advance(std::chrono::nanoseconds span) {
    const auto parks = clock_.Parks();
    clock_.Advance(span);
    ASSERT_TRUE(WaitUntil([&] { return clock_.SettledAfter(parks); }));
  }
  void Push(const Universe& universe) {
    sender_.PushNetworkUniverse(universe);
    Advance(0us);
  }

  // The push number each packet carried, for packets built by Numbered.
  static int Number(const Datagram& d, size_t levelsAt) {
    return d.bytes[levelsAt] << 8 | d.bytes[levelsAt + 1];
  }

  test::ManualClock clock_;
  test::FakeUdpNetwork network_{clock_};
  test::RecordingReports reports_;
  NetworkSender sender_{network_, clock_, reports_};
};

TEST_F(SenderTest, OffOpensNoSocketAndSendsNothing) {
  sender_.OpenNetwork(NetworkSettings{});
  sender_.PushNetworkUniverse(Numbered(1));
  sender_.CloseNetwork();
  EXPECT_FALSE(sender_.networkOpen());
  EXPECT_THAT(network_.Opens(), IsEmpty());
  EXPECT_THAT(reports_.messages, IsEmpty());
}

TEST_F(SenderTest, DestinationByProtocolAndAddress) {
  struct Case {
    const char* what;
    NetworkSettings settings;
    UdpEndpoint expected;
  };
  auto sacnUnicast = Sacn(7);
  sacnUnicast.address = NetworkSettings::Ipv4{192, 168, 1, 255};
  for (const Case& c :
       {Case{"Art-Net to the node", ArtNet(3), {{10, 0, 0, 5}, 6454}},
        Case{"sACN by default to its multicast group", Sacn(258), {{239, 255, 1, 2}, 5568}},
        Case{"sACN to the address given", sacnUnicast, {{192, 168, 1, 255}, 5568}}}) {
    sender_.OpenNetwork(c.settings);
    EXPECT_TRUE(sender_.networkOpen()) << c.what;
    EXPECT_EQ(sender_.destination(), c.expected) << c.what;
    sender_.CloseNetwork();
  }
  EXPECT_THAT(reports_.messages, IsEmpty());
}

TEST_F(SenderTest, NothingGoesOutUntilTheFirstPushThenAtOnce) {
  sender_.OpenNetwork(ArtNet(0x0102));
  Advance(5s);
  EXPECT_EQ(network_.SentCount(), 0u);
  Push(Numbered(7));
  const auto sent = network_.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].at, 5s);
  EXPECT_EQ(sent[0].endpoint, (UdpEndpoint{{10, 0, 0, 5}, 6454}));
  EXPECT_EQ(sent[0].bytes.size(), 530u);
  EXPECT_EQ(Number(sent[0], 18), 7);
  EXPECT_EQ(sent[0].bytes[14], 0x02);
  EXPECT_EQ(sent[0].bytes[15], 0x01);
}

// A host calling 20,000 times a second for a second: one packet a frame
// time at most, each the newest state, states never going back, and the
// last state out within a frame time of the last call.
TEST_F(SenderTest, TwentyThousandPushesASecondMakeAtMost44PacketsAndTheLastGoesOut) {
  sender_.OpenNetwork(ArtNet());
  // Twenty pushes a millisecond; the clock moves in steps of 50 us.
  constexpr int kPushes = 20000;
  for (int n = 1; n <= kPushes; ++n) {
    sender_.PushNetworkUniverse(Numbered(n));
    if (n % 20 == 0) {
      for (int step = 0; step < 20; ++step) clock_.Advance(50us);
      Advance(0us);
    }
  }
  const auto lastPush = clock_.Now();
  for (auto waited = 0us; waited < kFrame; waited += 50us) Advance(50us);

  const auto sent = network_.Sent();
  ASSERT_GE(sent.size(), 2u);
  int inFirstSecond = 0;
  for (size_t i = 0; i < sent.size(); ++i) {
    if (sent[i].at < 1s) ++inFirstSecond;
    if (i == 0) continue;
    EXPECT_GE(sent[i].at - sent[i - 1].at, kFrame) << "packet " << i;
    EXPECT_GT(Number(sent[i], 18), Number(sent[i - 1], 18)) << "packet " << i;
  }
  EXPECT_LE(inFirstSecond, 44);
  EXPECT_GE(inFirstSecond, 40) << "the sender keeps up with the frame rate";
  EXPECT_EQ(Number(sent.back(), 18), kPushes);
  EXPECT_LE(sent.back().at - lastPush, kFrame);
}

TEST_F(SenderTest, AnIdleUniverseIsSentAgainAtLeastOnceASecond) {
  sender_.OpenNetwork(Sacn());
  Push(Numbered(3));
  for (int i = 0; i < 50; ++i) Advance(100ms);
  const auto sent = network_.Sent();
  ASSERT_GE(sent.size(), 5u);
  for (size_t i = 1; i < sent.size(); ++i) {
    EXPECT_LE(sent[i].at - sent[i - 1].at, 1s) << "packet " << i;
    EXPECT_EQ(Number(sent[i], 126), 3);
    EXPECT_EQ(sent[i].bytes[111], static_cast<uint8_t>(i)) << "the sequence counts on";
  }
}

TEST_F(SenderTest, SacnEndsItsStreamWithThreeTerminatedPackets) {
  sender_.OpenNetwork(Sacn());
  Push(Numbered(9));
  Advance(kFrame);
  Push(Numbered(10));
  sender_.CloseNetwork();
  EXPECT_FALSE(sender_.networkOpen());
  const auto sent = network_.Sent();
  ASSERT_EQ(sent.size(), 5u);
  std::vector<int> options, sequence, levels;
  for (const auto& d : sent) {
    options.push_back(d.bytes[112]);
    sequence.push_back(d.bytes[111]);
    levels.push_back(Number(d, 126));
  }
  EXPECT_THAT(options, ElementsAre(0, 0, 0x40, 0x40, 0x40));
  EXPECT_THAT(sequence, ElementsAre(0, 1, 2, 3, 4));
  EXPECT_THAT(levels, ElementsAre(9, 10, 10, 10, 10));
  EXPECT_EQ(network_.OpenSockets(), 0);
}

// A host that sets its levels and unloads within a frame time.
TEST_F(SenderTest, CloseSendsTheUniversePushedInsideTheLastFrameTimeFirst) {
  for (const auto& [settings, levelsAt] :
       {std::pair{ArtNet(), size_t{18}}, {Sacn(), size_t{126}}}) {
    const size_t before = network_.SentCount();
    sender_.OpenNetwork(settings);
    Push(Numbered(1));
    sender_.PushNetworkUniverse(Numbered(2));
    sender_.CloseNetwork();
    const auto all = network_.Sent();
    const std::vector<Datagram> sent(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Number(sent[0], levelsAt), 1);
    for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(Number(sent[i], levelsAt), 2) << i;
  }
}

TEST_F(SenderTest, CloseSendsNothingMoreWhenNothingWasSentOrForArtNet) {
  sender_.OpenNetwork(Sacn());
  sender_.CloseNetwork();
  EXPECT_EQ(network_.SentCount(), 0u);
  sender_.OpenNetwork(ArtNet());
  Push(Numbered(1));
  sender_.CloseNetwork();
  EXPECT_EQ(network_.SentCount(), 1u);
}

TEST_F(SenderTest, ASocketThatCannotBeOpenedIsShownOnceAndTriedAgain) {
  network_.FailOpens(3);
  sender_.OpenNetwork(ArtNet());
  Push(Numbered(1));
  EXPECT_THAT(reports_.messages, IsEmpty()) << "never shown from the sender's thread";
  for (int i = 0; i < 3; ++i) {
    Advance(1s);
    Push(Numbered(2 + i));
  }
  EXPECT_THAT(
      reports_.messages,
      ElementsAre("The network output cannot send: cannot open a UDP socket: No buffer space"));
  EXPECT_EQ(network_.Opens().size(), 4u) << "one attempt a second, then it opened";
  ASSERT_EQ(network_.SentCount(), 1u);
  EXPECT_EQ(Number(network_.Sent()[0], 18), 3) << "the newest state once it could";

  // A new failure after packets went out again is shown again.
  network_.FailSends(1);
  Advance(kFrame);
  Push(Numbered(5));
  Advance(1s);
  Push(Numbered(6));
  EXPECT_EQ(reports_.messages.size(), 2u);
  EXPECT_EQ(reports_.messages.back(),
            "The network output cannot send: cannot send: Network is unreachable");
  EXPECT_EQ(Number(network_.Sent().back(), 18), 5);
}

TEST_F(SenderTest, SettingsItCannotSendWithAreShownAndOpenNothing) {
  auto noAddress = ArtNet();
  noAddress.address.reset();
  struct Case {
    NetworkSettings settings;
    std::string message;
  };
  const std::string prefix = "The network output cannot send: ";
  for (const Case& c :
       {Case{noAddress, prefix + "Art-Net needs a destination address"},
        Case{ArtNet(32768), prefix + "the Art-Net Port-Address 32768 is outside 0..32767"},
        Case{Sacn(0), prefix + "the sACN universe 0 is outside 1..63999"},
        Case{Sacn(64000), prefix + "the sACN universe 64000 is outside 1..63999"}}) {
    reports_.messages.clear();
    sender_.OpenNetwork(c.settings);
    EXPECT_FALSE(sender_.networkOpen()) << c.message;
    EXPECT_THAT(reports_.messages, ElementsAre(c.message));
  }
  EXPECT_THAT(network_.Opens(), IsEmpty());
}

TEST_F(SenderTest, PushesNeverWaitForASendInProgress) {
  sender_.OpenNetwork(ArtNet());
  network_.HoldSends(true);
  sender_.PushNetworkUniverse(Numbered(1));
  ASSERT_TRUE(WaitUntil([&] { return network_.HeldSends() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  for (int n = 2; n <= 10000; ++n) sender_.PushNetworkUniverse(Numbered(n));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "generous: the pushes only copy";
  network_.HoldSends(false);
  Advance(kFrame);
  ASSERT_TRUE(WaitUntil([&] { return network_.SentCount() >= 2; }));
  EXPECT_EQ(Number(network_.Sent().back(), 18), 10000);
}

TEST_F(SenderTest, OpeningAgainRestartsWithTheNewSettings) {
  sender_.OpenNetwork(Sacn(1));
  Push(Numbered(1));
  sender_.OpenNetwork(ArtNet(5));
  Push(Numbered(2));
  const auto sent = network_.Sent();
  ASSERT_EQ(sent.size(), 5u) << "one sACN packet, its three terminations, one ArtDmx";
  EXPECT_EQ(sent[3].bytes[112], 0x40);
  EXPECT_EQ(sent[4].endpoint.port, 6454);
  EXPECT_EQ(sent[4].bytes[12], 1) << "Art-Net's sequence starts afresh";
}

}  // namespace
}  // namespace lumivane
