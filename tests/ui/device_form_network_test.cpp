// SPDX-License-Identifier: MIT
// The dialog's network controls without a window: the load step shows the
// output in use, OK stores and opens it, Find nodes lists what answered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/network_setting_text.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_network.h"
#include "tests/support/fake_probes.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/memory_device_view.h"
#include "tests/support/recording_reports.h"
#include "ui/device_form.h"

namespace lumivane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Fields = DeviceView::NetworkFields;
using Protocol = NetworkSettings::Protocol;

class DeviceFormNetworkTest : public ::testing::Test {
 protected:
  DeviceFormNetworkTest() {
    state.appTitle = "Show";
    state.pluginFile = "lv.so";
    state.deviceType = "OpenDMXUSB";
    view.proSelected = false;
  }
  CallLog TakeLog() { return std::exchange(log, {}); }

  DriverState state;
  CallLog log;
  FakeSettingsStore settings{&log};
  FakeProLink pro{&state, &log};
  FakeOpenDmxLink openDmx{&log};
  FakeNetworkLink link{&log};
  FakeNodeFinder finder{&log};
  RecordingReports reports;
  ScriptedProbes probes{&log};
  NetworkOutputSettings networkSettings{
      settings, reports, [] { return *ReadCidText("11111111-2222-4333-8444-555555555555"); }};
  DeviceRouting routing{state, pro, openDmx, &link};
  MemoryDeviceView view;
  DeviceForm form{view, {state, settings, routing, probes, reports, &networkSettings, &finder}};
};

TEST_F(DeviceFormNetworkTest, LoadClosesTheOutputAndShowsWhatIsInUse) {
  state.network.protocol = Protocol::kSacn;
  state.network.universe = 7;
  form.Form_Load();
  EXPECT_THAT(TakeLog(), ElementsAre("CloseNetwork", "StopOpenDmx"));
  EXPECT_EQ(view.network, (Fields{true, true, "", "7"}));

  state.network.protocol = Protocol::kArtNet;
  state.network.address = NetworkSettings::Ipv4{127, 0, 0, 1};
  state.network.universe = 0;
  form.Form_Load();
  EXPECT_EQ(view.network, (Fields{true, false, "127.0.0.1", "0"}));

  state.network = {};
  form.Form_Load();
  EXPECT_EQ(view.network, Fields{}) << "off: unticked, nothing typed";
}

TEST_F(DeviceFormNetworkTest, OkStoresTheTickedOutputAfterTheDeviceAndOpensItAtOnce) {
  view.network = {true, false, "127.0.0.1", "3"};
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Write NetOutput=ArtNet",
                                     "Write NetAddress=127.0.0.1", "Write NetUniverse=3",
                                     "OpenNetwork ArtNet", "StartOpenDmx"));
  EXPECT_EQ(state.network.protocol, Protocol::kArtNet);
  EXPECT_EQ(link.opened.universe, 3);
  EXPECT_EQ(link.opened.sourceName, "Lumivane DMX Pro Driver");
  EXPECT_THAT(reports.messages, IsEmpty());

  view.network = {true, true, "", ""};
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Read NetSourceCID",
                                     "Write NetSourceCID=11111111-2222-4333-8444-555555555555",
                                     "Write NetOutput=sACN", "Write NetAddress=",
                                     "Write NetUniverse=1", "OpenNetwork sACN", "StartOpenDmx"));
  EXPECT_EQ(CidText(link.opened.cid), "11111111-2222-4333-8444-555555555555");
}

TEST_F(DeviceFormNetworkTest, OkUntickedStopsTheOutputAndKeepsItsOtherKeys) {
  settings.Put("Show", "lv.so", kKeyNetOutput, "sACN");
  settings.Put("Show", "lv.so", kKeyNetUniverse, "9");
  state.network.protocol = Protocol::kSacn;
  view.network = {false, true, "", "9"};
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Read NetOutput",
                                     "Write NetOutput=", "OpenNetwork off", "StartOpenDmx"));
  EXPECT_EQ(state.network.protocol, Protocol::kOff);
  EXPECT_EQ(settings.Stored(kKeyNetUniverse), "9");
}

TEST_F(DeviceFormNetworkTest, OkRefusesWhatCannotBeSentAndChangesNothing) {
  const struct {
    Fields typed;
    const char* says;
  } kCases[] = {
      {{true, false, "10.0.0", "1"}, "Invalid network address: 10.0.0"},
      {{true, true, "localhost", "1"}, "Invalid network address: localhost"},
      {{true, false, "127.0.0.1", "32768"}, "Invalid universe: 32768"},
      {{true, true, "", "0"}, "Invalid universe: 0"},
      {{true, true, "", "one"}, "Invalid universe: one"},
      {{true, false, "", "1"}, "Art-Net needs a destination address: type one or find nodes"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.says);
    reports.messages.clear();
    view.network = c.typed;
    form.cmdOK_Click();
    EXPECT_THAT(TakeLog(), IsEmpty());
    EXPECT_THAT(reports.messages, ElementsAre(c.says));
    EXPECT_EQ(state.deviceType, "OpenDMXUSB");
  }
  // Unticked, the typed texts do not matter.
  view.network = {false, false, "nonsense", "-5"};
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Read NetOutput",
                                     "OpenNetwork off", "StartOpenDmx"));
}

TEST_F(DeviceFormNetworkTest, FindNodesListsEachOutputAndPickingOneFillsTheFields) {
  finder.nodes = {{"Stage left", {10, 77, 0, 1}, {1, 2}}, {"Dimmer rack", {10, 77, 0, 9}, {}}};
  view.network = {true, true, "", "5"};
  form.cmdFindNodes_Click();
  EXPECT_THAT(view.lstNodes, ElementsAre("Stage left - 10.77.0.1 : 1", "Stage left - 10.77.0.1 : 2",
                                         "Dimmer rack - 10.77.0.9"));
  view.selectedNode = 1;
  form.lstNodes_Click();
  EXPECT_EQ(view.network, (Fields{true, false, "10.77.0.1", "2"}));
  view.selectedNode = 2;
  form.lstNodes_Click();
  EXPECT_EQ(view.network, (Fields{true, false, "10.77.0.9", "2"}))
      << "no output: the universe stays";
  EXPECT_THAT(TakeLog(), ElementsAre("FindNodes")) << "nothing stored or opened";

  finder.nodes.clear();
  form.cmdFindNodes_Click();
  EXPECT_THAT(view.lstNodes, ElementsAre("No node answered"));
  view.selectedNode = 0;
  form.lstNodes_Click();
  EXPECT_EQ(view.network.address, "10.77.0.9") << "the placeholder picks nothing";
}

TEST_F(DeviceFormNetworkTest, FindNodesThatFailsSaysWhyAndListsNothing) {
  finder.FailOn("FindNodes", Failure(ErrorNumber::kNetworkSocketFailed, "port 6454 is taken"));
  form.cmdFindNodes_Click();
  EXPECT_THAT(reports.messages, ElementsAre("The network output cannot send: port 6454 is taken"));
  EXPECT_THAT(view.lstNodes, ElementsAre("No node answered"));
}

}  // namespace
}  // namespace lumivane::test
