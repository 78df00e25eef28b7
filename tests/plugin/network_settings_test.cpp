// SPDX-License-Identifier: MIT
// The network output's stored texts, how init reads them and how the
// routing drives the output beside the selected interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/network_output_settings.h"
#include "core/network_setting_text.h"
#include "tests/support/case_names.h"
#include "tests/support/fake_network.h"
#include "tests/support/recording_reports.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Protocol = NetworkSettings::Protocol;

// --- the texts ---

TEST(NetworkSettingTextTest, AddressesReadOnlyAsFourDecimalParts) {
  const struct {
    const char* text;
    bool reads;
  } kCases[] = {
      {"127.0.0.1", true},   {"0.0.0.0", true},    {"255.255.255.255", true}, {"10.077.0.1", true},
      {"256.0.0.1", false},  {"1.2.3", false},     {"1.2.3.4.5", false},      {"1.2.3.", false},
      {".1.2.3", false},     {"1..2.3", false},    {" 1.2.3.4", false},       {"1.2.3.4 ", false},
      {"-1.2.3.4", false},   {"1.2.3.0x4", false}, {"localhost", false},      {"1.2.3.4/24", false},
      {"1000.2.3.4", false}, {"", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ReadIpv4Text(c.text).has_value(), c.reads) << '"' << c.text << '"';
  }
  EXPECT_EQ(ReadIpv4Text("10.077.0.1"), (NetworkSettings::Ipv4{10, 77, 0, 1}));
  EXPECT_EQ(Ipv4Text({192, 168, 0, 255}), "192.168.0.255");
}

TEST(NetworkSettingTextTest, UniverseRangesFollowTheProtocol) {
  const struct {
    const char* text;
    Protocol protocol;
    std::optional<uint16_t> read;
  } kCases[] = {
      {"", Protocol::kArtNet, 0},
      {"", Protocol::kSacn, 1},
      {"0", Protocol::kArtNet, 0},
      {"0", Protocol::kSacn, std::nullopt},
      {"32767", Protocol::kArtNet, 32767},
      {"32768", Protocol::kArtNet, std::nullopt},
      {"63999", Protocol::kSacn, 63999},
      {"64000", Protocol::kSacn, std::nullopt},
      {"007", Protocol::kSacn, 7},
      {"-1", Protocol::kArtNet, std::nullopt},
      {" 3", Protocol::kArtNet, std::nullopt},
      {"3.0", Protocol::kSacn, std::nullopt},
      {"99999999999", Protocol::kSacn, std::nullopt},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ReadNetUniverseText(c.text, c.protocol), c.read)
        << '"' << c.text << "\" for " << NetOutputText(c.protocol);
  }
}

TEST(NetworkSettingTextTest, OnlyTheTwoExactNamesSend) {
  EXPECT_EQ(ReadNetOutputText("ArtNet"), Protocol::kArtNet);
  EXPECT_EQ(ReadNetOutputText("sACN"), Protocol::kSacn);
  for (const char* off : {"", "artnet", "SACN", "ArtNet ", "Art-Net", "E1.31", "1"}) {
    EXPECT_EQ(ReadNetOutputText(off), Protocol::kOff) << '"' << off << '"';
  }
}

TEST(NetworkSettingTextTest, CidsRoundTripAndNewOnesAreVersion4AndDiffer) {
  const std::string text = "0123abcd-4567-89ef-0a1b-2c3d4e5f6789";
  ASSERT_TRUE(ReadCidText(text));
  EXPECT_EQ(CidText(*ReadCidText(text)), text);
  EXPECT_EQ(CidText(*ReadCidText("0123ABCD-4567-89EF-0A1B-2C3D4E5F6789")), text);
  for (const char* bad :
       {"", "0123abcd456789ef0a1b2c3d4e5f6789", "0123abcd-4567-89ef-0a1b-2c3d4e5f678",
        "0123abcd-4567-89ef-0a1b-2c3d4e5f678g", "0123abcd_4567-89ef-0a1b-2c3d4e5f6789",
        "{0123abcd-4567-89ef-0a1b-2c3d4e5f67}"}) {
    EXPECT_FALSE(ReadCidText(bad)) << '"' << bad << '"';
  }
  const NetworkSettings::Cid a = MakeRandomCid();
  const NetworkSettings::Cid b = MakeRandomCid();
  EXPECT_NE(a, b);
  EXPECT_EQ(a[6] >> 4, 4);
  EXPECT_EQ(a[8] & 0xC0, 0x80);
}

// --- reading and writing the keys ---

class NetworkSettingsStoreTest : public ::testing::Test {
 protected:
  void Put(std::string_view key, std::string_view value) { store.Put("Show", "lv.so", key, value); }
  NetworkSettings Read() { return settings.Read("Show", "lv.so"); }

  CallLog log;
  FakeSettingsStore store{&log};
  RecordingReports reports;
  int cidsMade = 0;
  NetworkOutputSettings settings{store, reports, [this] {
                                   ++cidsMade;
                                   return *ReadCidText("11111111-2222-4333-8444-555555555555");
                                 }};
};

TEST_F(NetworkSettingsStoreTest, MissingOrUnknownOutputIsOffAndReadsNothingElse) {
  for (const char* stored : {"", "none", "artnet"}) {
    if (*stored != '\0') Put(kKeyNetOutput, stored);
    Put(kKeyNetAddress, "not an address");
    log.clear();
    EXPECT_EQ(Read().protocol, Protocol::kOff) << stored;
    EXPECT_THAT(log, ElementsAre("Read NetOutput"));
  }
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(NetworkSettingsStoreTest, ArtNetReadsItsAddressAndPortAddressOrTheDefaults) {
  Put(kKeyNetOutput, "ArtNet");
  NetworkSettings read = Read();
  EXPECT_EQ(read.protocol, Protocol::kArtNet);
  EXPECT_FALSE(read.address);
  EXPECT_EQ(read.universe, 0);
  EXPECT_EQ(read.sourceName, "Lumivane DMX Pro Driver");

  Put(kKeyNetAddress, "127.0.0.1");
  Put(kKeyNetUniverse, "32767");
  read = Read();
  EXPECT_EQ(read.address, (NetworkSettings::Ipv4{127, 0, 0, 1}));
  EXPECT_EQ(read.universe, 32767);
  EXPECT_EQ(cidsMade, 0);
  EXPECT_EQ(store.Stored(kKeyNetSourceCID), "");
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(NetworkSettingsStoreTest, SacnMakesItsCidOnceAndKeepsIt) {
  Put(kKeyNetOutput, "sACN");
  NetworkSettings read = Read();
  EXPECT_EQ(read.protocol, Protocol::kSacn);
  EXPECT_EQ(read.universe, 1);
  EXPECT_EQ(CidText(read.cid), "11111111-2222-4333-8444-555555555555");
  EXPECT_EQ(store.Stored(kKeyNetSourceCID), "11111111-2222-4333-8444-555555555555");

  Put(kKeyNetSourceCID, "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");
  read = Read();
  EXPECT_EQ(CidText(read.cid), "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");
  EXPECT_EQ(cidsMade, 1);
}

TEST_F(NetworkSettingsStoreTest, SacnWhoseCidCannotBeStoredStillSendsAndSaysWhy) {
  Put(kKeyNetOutput, "sACN");
  store.FailOn("Write NetSourceCID", Failure(ErrorNumber::kSettingsWriteFailed));
  const NetworkSettings read = Read();
  EXPECT_EQ(read.protocol, Protocol::kSacn);
  EXPECT_EQ(CidText(read.cid), "11111111-2222-4333-8444-555555555555");
  EXPECT_THAT(reports.messages, ElementsAre("The settings could not be saved"));
}

TEST_F(NetworkSettingsStoreTest, AValueThatDoesNotReadLeavesItOffAndSaysWhyOnce) {
  const struct {
    const char* name;
    const char* output;
    std::string_view key;
    const char* value;
    const char* says;
  } kCases[] = {
      {"address", "ArtNet", kKeyNetAddress, "10.0.0",
       "\"NetAddress\" is no IPv4 address: \"10.0.0\""},
      {"ArtNet universe", "ArtNet", kKeyNetUniverse, "32768",
       "\"NetUniverse\" is no universe 0..32767: \"32768\""},
      {"sACN universe", "sACN", kKeyNetUniverse, "0",
       "\"NetUniverse\" is no universe 1..63999: \"0\""},
      {"CID", "sACN", kKeyNetSourceCID, "my source", "\"NetSourceCID\" is no UUID: \"my source\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    store.values.clear();
    reports.messages.clear();
    Put(kKeyNetOutput, c.output);
    Put(c.key, c.value);
    EXPECT_EQ(Read().protocol, Protocol::kOff);
    EXPECT_EQ(Read().protocol, Protocol::kOff);
    EXPECT_THAT(reports.messages, ElementsAre(std::string("The network output is off: ") + c.says));
    EXPECT_EQ(store.Stored(c.key), c.value) << "nothing is repaired";
  }
  EXPECT_EQ(cidsMade, 0);
}

TEST_F(NetworkSettingsStoreTest, OffWritesOnlyToUntickAStoredOutput) {
  NetworkSettings off;
  settings.Write("Show", "lv.so", off);
  EXPECT_THAT(log, ElementsAre("Read NetOutput")) << "a user who never ticked keeps the file";

  Put(kKeyNetOutput, "ArtNet");
  Put(kKeyNetAddress, "10.0.0.9");
  log.clear();
  settings.Write("Show", "lv.so", off);
  EXPECT_THAT(log, ElementsAre("Read NetOutput", "Write NetOutput="));
  EXPECT_EQ(store.Stored(kKeyNetAddress), "10.0.0.9");
}

TEST_F(NetworkSettingsStoreTest, OnWritesTheKeysAndTheCidOnlyWhenSacnHasNone) {
  NetworkSettings art;
  art.protocol = Protocol::kArtNet;
  art.address = NetworkSettings::Ipv4{10, 0, 0, 5};
  art.universe = 17;
  settings.Write("Show", "lv.so", art);
  EXPECT_THAT(log, ElementsAre("Write NetOutput=ArtNet", "Write NetAddress=10.0.0.5",
                               "Write NetUniverse=17"));
  EXPECT_EQ(art.sourceName, "Lumivane DMX Pro Driver");

  NetworkSettings sacn;
  sacn.protocol = Protocol::kSacn;
  sacn.universe = 3;
  log.clear();
  settings.Write("Show", "lv.so", sacn);
  EXPECT_THAT(log, ElementsAre("Read NetSourceCID",
                               "Write NetSourceCID=11111111-2222-4333-8444-555555555555",
                               "Write NetOutput=sACN", "Write NetAddress=", "Write NetUniverse=3"));
  log.clear();
  settings.Write("Show", "lv.so", sacn);
  EXPECT_THAT(log, ElementsAre("Read NetSourceCID", "Write NetOutput=sACN",
                               "Write NetAddress=", "Write NetUniverse=3"));
  EXPECT_EQ(cidsMade, 1);
  EXPECT_EQ(CidText(sacn.cid), "11111111-2222-4333-8444-555555555555");
}

// --- init and the routing ---

struct NetworkPlugin : TestPlugin {
  NetworkPlugin() {
    settings.Put("Show", "lv.so", kKeyNetOutput, "ArtNet");
    settings.Put("Show", "lv.so", kKeyNetAddress, "127.0.0.1");
  }
  FakeNetworkLink link{&log};
  RecordingReports reports;
  NetworkOutputSettings networkSettings{settings, reports};
  DeviceRouting networkRouting{state, pro, openDmx, &link};
};

TEST(NetworkRoutingTest, InitReadsTheOutputAfterTheInterfaceKeysAndOpensItBeside) {
  NetworkPlugin p;
  Plugin routed{p.state,          p.settings, p.transmitter,     p.pro,
                p.networkRouting, p.dialog,   &p.networkSettings};
  p.settings.Put("Show", "lv.so", kKeyDeviceType, "DMXUSBpro");
  clsOutputDriver driver(routed);
  driver.init("Show", "lv.so", nullptr);
  EXPECT_THAT(p.log, ElementsAre("LoadTransmitter", "Read comPort", "Read DeviceType",
                                 "Read NetOutput", "Read NetAddress", "Read NetUniverse",
                                 "OpenNetwork ArtNet", "OpenProPort"));
  EXPECT_EQ(p.link.opened.address, (NetworkSettings::Ipv4{127, 0, 0, 1}));
}

TEST(NetworkRoutingTest, EveryPushAlsoGoesToTheNetworkWhateverTheDevice) {
  for (const char* device : {"DMXUSBpro", "OpenDMXUSB", "", "none"}) {
    SCOPED_TRACE(device);
    NetworkPlugin p;
    p.state.deviceType = device;
    p.state.network.protocol = Protocol::kSacn;
    p.state.dmxData[512] = 99;
    p.networkRouting.SendUniverse();
    p.networkRouting.SendUniverse();
    EXPECT_EQ(p.link.pushes(), 2);
    EXPECT_EQ(p.link.lastPushed[511], 99);
  }
}

TEST(NetworkRoutingTest, OffPushesNothingAndOpeningOffStopsWhatRan) {
  NetworkPlugin p;
  p.state.deviceType = "DMXUSBpro";
  p.networkRouting.SendUniverse();
  p.networkRouting.OpenDevice();
  p.networkRouting.CloseDevice();
  EXPECT_THAT(p.log, ElementsAre("SendProUniverse", "OpenNetwork off", "OpenProPort",
                                 "CloseNetwork", "CloseProPort"));
}

TEST(NetworkRoutingTest, ALinkThatFailsKeepsNoStepFromTheNetwork) {
  NetworkPlugin p;
  p.state.deviceType = "DMXUSBpro";
  p.state.network.protocol = Protocol::kArtNet;
  p.pro.FailOn("SendProUniverse", Failure(ErrorNumber::kPortWriteTimedOut));
  p.pro.FailOn("CloseProPort", Failure(ErrorNumber::kPortNotOpen));
  EXPECT_THROW(p.networkRouting.SendUniverse(), Failure);
  EXPECT_THROW(p.networkRouting.CloseDevice(), Failure);
  EXPECT_THAT(p.link.calls(), ElementsAre("PushNetworkUniverse", "CloseNetwork"));
}

}  // namespace
}  // namespace lumivane::test
