// SPDX-License-Identifier: MIT
// The dialog's network controls in the toolkit: the box, the small window
// its button opens, Find nodes, and OK storing what they hold.
// clang-format off
// Before the X headers, whose macros (None, Bool) clash with them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
// clang-format on

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>

#include "core/network_output_settings.h"
#include "core/network_setting_text.h"
#include "core/output_driver.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_network.h"
#include "tests/support/fake_probes.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/fake_windows.h"
#include "tests/support/recording_reports.h"
#include "tests/ui/png_file.h"
#include "ui/device_dialog_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

void Settle() {
  for (int i = 0; i < 20; ++i) Fl::wait(0.01);
}

// Dismisses the next modal box and keeps its text.
void DismissModal(void* data) {
  Fl_Window* box = Fl::modal();
  if (box == nullptr) {
    Fl::repeat_timeout(0.05, DismissModal, data);
    return;
  }
  for (int i = 0; i < box->children(); ++i) {
    Fl_Widget* child = box->child(i);
    if (dynamic_cast<Fl_Button*>(child) == nullptr && child->label() != nullptr) {
      *static_cast<std::string*>(data) = child->label();
    }
  }
  box->hide();
}

void WriteScreenshot(Fl_Double_Window& window, const char* name) {
  window.make_current();
  std::vector<uint8_t> pixels(static_cast<size_t>(window.w() * window.h() * 3));
  ASSERT_NE(fl_read_image(pixels.data(), 0, 0, window.w(), window.h()), nullptr);
  const std::string path = std::string(LUMIVANE_SCREENSHOT_DIR) + "/" + name;
  ASSERT_TRUE(WritePng(path, window.w(), window.h(), pixels)) << path;
  size_t dark = 0;
  for (size_t i = 0; i < pixels.size(); i += 3) dark += pixels[i] < 64 ? 1 : 0;
  EXPECT_GT(dark, 100u) << "the controls drew something";
  std::printf("screenshot: %s\n", path.c_str());
}

class DeviceDialogNetworkFltkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run_with_xvfb.sh)";
    state.appTitle = "Show Host";
    state.pluginFile = "lumivane.so";
    state.deviceType = "OpenDMXUSB";
    finder.nodes = {{"Stage left", {10, 77, 0, 1}, {1, 2}}, {"Dimmer rack", {10, 77, 0, 9}, {16}}};
  }
  void TearDown() override {
    if (dialog.IsLoaded()) Fl::handle(FL_CLOSE, &dialog.window()->frmDevice());
    Settle();
  }
  CallLog TakeLog() { return std::exchange(log, {}); }
  DeviceWindow& window() { return *dialog.window(); }

  DriverState state;
  CallLog log;
  FakeSettingsStore settings{&log};
  FakeProLink pro{&state, &log};
  FakeOpenDmxLink openDmx{&log};
  FakeNetworkLink link{&log};
  FakeNodeFinder finder{&log};
  RecordingReports fallbackReports;
  ToolkitUserReports reports{fallbackReports};
  ScriptedProbes probes{&log};
  NetworkOutputSettings networkSettings{
      settings, reports, [] { return *ReadCidText("11111111-2222-4333-8444-555555555555"); }};
  DeviceRouting routing{state, pro, openDmx, &link};
  FltkDeviceDialog dialog{{state, settings, routing, probes, reports, &networkSettings, &finder}};
  FakeTransmitter transmitter;
  Plugin plugin{state, settings, transmitter, pro, routing, dialog, &networkSettings};
  clsOutputDriver driver{plugin};
};

TEST_F(DeviceDialogNetworkFltkTest, TheButtonOpensTheNetworkWindowWithTheOutputInUse) {
  state.network.protocol = NetworkSettings::Protocol::kSacn;
  state.network.universe = 7;
  driver.Configure();
  EXPECT_THAT(TakeLog(), ElementsAre("CloseNetwork", "StopOpenDmx"));
  DeviceWindow& w = window();
  w.optOpenDMXUSB().setonly();  // the load step leaves the widget selected
  EXPECT_EQ(w.chkArtNet().value(), 1);
  EXPECT_FALSE(w.frmNetwork().shown());
  w.cmdNetwork().do_callback();
  Settle();
  Fl_Double_Window& net = w.frmNetwork();
  ASSERT_TRUE(net.shown());
  EXPECT_STREQ(net.label(), "Network output");
  // 3600 x 2700 twips at 15 twips a pixel.
  EXPECT_EQ(net.w(), 240);
  EXPECT_EQ(net.h(), 180);
  EXPECT_EQ(w.optSacn().value(), 1);
  EXPECT_EQ(w.optArtNet().value(), 0);
  EXPECT_STREQ(w.txtNetAddress().value(), "");
  EXPECT_STREQ(w.txtNetUniverse().value(), "7");
  EXPECT_STREQ(w.cmdFindNodes().label(), "Find nodes");

  // Close only hides it; what it holds stays for OK.
  w.txtNetUniverse().value("12");
  w.cmdNetworkClose().do_callback();
  EXPECT_FALSE(net.shown());
  w.cmdOK().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Read NetSourceCID",
                                     "Write NetSourceCID=11111111-2222-4333-8444-555555555555",
                                     "Write NetOutput=sACN", "Write NetAddress=",
                                     "Write NetUniverse=12", "OpenNetwork sACN", "StartOpenDmx"));
  EXPECT_EQ(link.opened.universe, 12);
}

TEST_F(DeviceDialogNetworkFltkTest, FindNodesPickAndOkThroughTheToolkit) {
  driver.Configure();
  TakeLog();
  DeviceWindow& w = window();
  EXPECT_EQ(w.chkArtNet().value(), 0);
  w.optOpenDMXUSB().setonly();
  w.cmdNetwork().do_callback();
  w.cmdFindNodes().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("FindNodes"));
  ASSERT_EQ(w.lstNodes().size(), 3);
  EXPECT_STREQ(w.lstNodes().text(3), "Dimmer rack - 10.77.0.9 : 16");
  w.lstNodes().select(2);
  w.lstNodes().do_callback();
  EXPECT_STREQ(w.txtNetAddress().value(), "10.77.0.1");
  EXPECT_STREQ(w.txtNetUniverse().value(), "2");
  EXPECT_EQ(w.optArtNet().value(), 1);
  Settle();
  WriteScreenshot(w.frmNetwork(), "device_dialog_network.png");

  w.chkArtNet().value(1);
  w.cmdOK().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Write NetOutput=ArtNet",
                                     "Write NetAddress=10.77.0.1", "Write NetUniverse=2",
                                     "OpenNetwork ArtNet", "StartOpenDmx"));
  EXPECT_EQ(link.opened.address, (NetworkSettings::Ipv4{10, 77, 0, 1}));

  // Unticked again: OK stops the output and keeps the other keys.
  w.chkArtNet().value(0);
  w.cmdOK().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "Read NetOutput",
                                     "Write NetOutput=", "OpenNetwork off", "StartOpenDmx"));
  EXPECT_EQ(settings.Stored(kKeyNetAddress), "10.77.0.1");
  EXPECT_THAT(fallbackReports.messages, IsEmpty());
}

TEST_F(DeviceDialogNetworkFltkTest, ATypedAddressThatIsNoneIsRefusedInABoxAndNothingIsStored) {
  driver.Configure();
  TakeLog();
  DeviceWindow& w = window();
  w.chkArtNet().value(1);
  w.txtNetAddress().value("10.77.0.300");
  std::string seen;
  Fl::add_timeout(0.05, DismissModal, &seen);
  w.cmdOK().do_callback();
  Fl::remove_timeout(DismissModal, &seen);
  EXPECT_EQ(seen, "Invalid network address: 10.77.0.300");
  EXPECT_THAT(TakeLog(), IsEmpty());
}

}  // namespace
}  // namespace lumivane::test
