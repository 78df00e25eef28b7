// SPDX-License-Identifier: MIT
// The real toolkit dialog, opened through Configure on a virtual display.
#include "ui/device_dialog_fltk.h"

// clang-format off
// Before the X headers, whose macros (None, Bool) clash with them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
// clang-format on

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>

#include "core/output_driver.h"
#include "prowidget/pro_widget_probe.h"
#include "prowidget/widget_link.h"
#include "tests/support/bytes.h"
#include "tests/support/expect_failure.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_component.h"
#include "tests/support/recorded_dialog_plugin.h"
#include "tests/ui/png_file.h"
#include "ui/message_box_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane {
namespace {

using test::CallLog;
using test::FakeTransmitter;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Lets the toolkit draw and settle.
void Settle() {
  for (int i = 0; i < 20; ++i) Fl::wait(0.01);
}

// What a modal box showed when the timer found it, and that it was dismissed.
struct SeenBox {
  bool seen = false;
  std::string text;
  std::string button;
};

void DismissModal(void* data) {
  auto* seen = static_cast<SeenBox*>(data);
  Fl_Window* box = Fl::modal();
  if (box == nullptr) {
    Fl::repeat_timeout(0.05, DismissModal, data);
    return;
  }
  seen->seen = true;
  for (int i = 0; i < box->children(); ++i) {
    Fl_Widget* child = box->child(i);
    if (dynamic_cast<Fl_Button*>(child) != nullptr) {
      seen->button = child->label();
    } else if (child->label() != nullptr) {
      seen->text = child->label();
    }
  }
  box->hide();
}

class DeviceDialogFltkTest : public ::testing::Test, protected test::RecordedDialogPlugin {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run_with_xvfb.sh)";
    state.appTitle = "Show Host";
    state.pluginFile = "lumivane.so";
    state.deviceType = "DMXUSBpro";
    state.comPort = 3;
    probes.found = {{"Com: 1", 0}, {"Pro Widget - Com:  3 : 78563412", 3}};
  }
  void TearDown() override {
    // Leave no window for the next test.
    if (dialog.IsLoaded()) Fl::handle(FL_CLOSE, &dialog.window()->frmDevice());
    Settle();
  }

  CallLog TakeLog() { return std::exchange(log, {}); }
  DeviceWindow& window() {
    EXPECT_NE(dialog.window(), nullptr);
    return *dialog.window();
  }
};

TEST_F(DeviceDialogFltkTest, ConfigureShowsTheDialogAtOnceWithItsCaptionSizeAndPlace) {
  EXPECT_TRUE(driver.Configure());
  EXPECT_THAT(TakeLog(), ElementsAre("CloseProPort", "ScanProPorts"));
  ASSERT_TRUE(dialog.IsLoaded());
  Fl_Double_Window& frm = window().frmDevice();
  EXPECT_TRUE(frm.shown());
  EXPECT_STREQ(frm.label(), "Choose DMX interface device");
  Settle();

  // 4035 x 3210 twips at 15 twips a pixel, as the server sees the window.
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(fl_display, fl_xid(&frm), &attributes), 0);
  EXPECT_EQ(attributes.width, 269);
  EXPECT_EQ(attributes.height, 214);
  int rootX = 0;
  int rootY = 0;
  Window child = 0;
  XTranslateCoordinates(fl_display, fl_xid(&frm), DefaultRootWindow(fl_display), 0, 0, &rootX,
                        &rootY, &child);
  EXPECT_EQ(rootX, (1024 - 269) / 2);
  EXPECT_EQ(rootY, (768 - 214) / 2);
  EXPECT_EQ(frm.resizable(), nullptr);

  // Hints for the window manager: move and close only, a dialog.
  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(fl_display, fl_xid(&frm), motif, 0, 5, False, motif, &type, &format,
                               &count, &after, &data),
            Success);
  ASSERT_EQ(count, 5u);
  EXPECT_EQ(reinterpret_cast<unsigned long*>(data)[1], 4u | 32u);  // move | close
  XFree(data);

  EXPECT_EQ(window().InfoCaption(), "Current Device: DMXUSBpro on port: 3");
  EXPECT_STREQ(window().txtCommPort().value(), " 3");
  ASSERT_EQ(window().ListCount(), 2);
  EXPECT_EQ(window().ListText(1), "Pro Widget - Com:  3 : 78563412");
  EXPECT_EQ(window().ListItemData(0), 0);
  EXPECT_EQ(window().ListItemData(1), 3);
}

TEST_F(DeviceDialogFltkTest, EveryControlStandsWhereItWasDesignedAndStartsAsDesigned) {
  driver.Configure();
  DeviceWindow& w = window();
  struct Place {
    const char* name;
    Fl_Widget& widget;
    int left, top, width, height;  // twips, from the client area's corner
  };
  constexpr int kFrameLeft = 180;
  constexpr int kFrameTop = 330;
  const Place places[] = {
      {"cmdOK", w.cmdOK(), 2715, 2655, 1245, 435},
      {"Frame1", w.Frame1(), 180, 330, 3795, 2220},
      {"optOpenDMXUSB", w.optOpenDMXUSB(), kFrameLeft + 180, kFrameTop + 210, 2400, 360},
      {"optDMXUSBpro", w.optDMXUSBpro(), kFrameLeft + 180, kFrameTop + 480, 2745, 390},
      {"Label1", w.Label1(), kFrameLeft + 270, kFrameTop + 855, 1500, 285},
      {"txtCommPort", w.txtCommPort(), kFrameLeft + 1800, kFrameTop + 810, 315, 300},
      {"chkArtNet", w.chkArtNet(), 390, 2700, 1980, 300},
      {"lblinfo", w.lblinfo(), 180, 75, 3765, 270},
      {"devList", w.devList(), kFrameLeft + 2220, kFrameTop + 570, 1500, 1425},
      {"cmdTest", w.cmdTest(), kFrameLeft + 345, kFrameTop + 1215, 1020, 360},
      {"lblResult", w.lblResult(), kFrameLeft + 165, kFrameTop + 1755, 1905, 315},
      {"cmdNetwork", w.cmdNetwork(), 2385, 2700, 300, 300},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(p.widget.x(), p.left / 15);
    EXPECT_EQ(p.widget.y(), p.top / 15);
    EXPECT_EQ(p.widget.w(), p.width / 15);
    EXPECT_EQ(p.widget.h(), p.height / 15);
  }
  EXPECT_STREQ(w.cmdOK().label(), "OK");
  EXPECT_STREQ(w.Frame1().label(), "DMX device");
  EXPECT_STREQ(w.optOpenDMXUSB().label(), "Enttec Open DMX USB");
  EXPECT_STREQ(w.optDMXUSBpro().label(), "Enttec DMX USB Pro");
  EXPECT_STREQ(w.Label1().label(), "Serial Port number:");
  EXPECT_STREQ(w.chkArtNet().label(), "Enable ArtNet");
  EXPECT_STREQ(w.cmdTest().label(), "Test");
  EXPECT_STREQ(w.lblResult().label(), "Test Result");
  EXPECT_EQ(w.lblinfo().labelfont(), FL_HELVETICA_BOLD);
  EXPECT_EQ(w.lblResult().labelfont(), FL_HELVETICA);
  EXPECT_EQ(w.optDMXUSBpro().value(), 1);
  EXPECT_EQ(w.optOpenDMXUSB().value(), 0);
  EXPECT_TRUE(w.optOpenDMXUSB().active());
  EXPECT_TRUE(w.chkArtNet().active());
  EXPECT_EQ(w.chkArtNet().value(), 0);
  EXPECT_FALSE(w.frmNetwork().shown());

  // Tab order: the controls that take focus, in the order the window holds them.
  std::vector<Fl_Widget*> focusOrder;
  Fl_Double_Window& frm = w.frmDevice();
  for (int i = 0; i < frm.children(); ++i) {
    Fl_Widget* child = frm.child(i);
    if (child->visible_focus() && child->active() && dynamic_cast<Fl_Box*>(child) == nullptr) {
      focusOrder.push_back(child);
    }
  }
  EXPECT_EQ(Fl::focus(), &w.cmdOK());
  // Tab walks the focus along that order and back to the start.
  std::vector<Fl_Widget*> tabbed;
  for (int i = 0; i < 9; ++i) {
    Fl::e_keysym = FL_Tab;
    Fl::e_state = 0;
    Fl::handle(FL_KEYBOARD, &w.frmDevice());
    tabbed.push_back(Fl::focus());
  }
  EXPECT_THAT(tabbed, ElementsAre(&w.optOpenDMXUSB(), &w.optDMXUSBpro(), &w.txtCommPort(),
                                  &w.chkArtNet(), &w.cmdNetwork(), &w.devList(), &w.cmdTest(),
                                  &w.cmdOK(), &w.optOpenDMXUSB()));
  EXPECT_THAT(focusOrder,
              ElementsAre(&w.cmdOK(), &w.optOpenDMXUSB(), &w.optDMXUSBpro(), &w.txtCommPort(),
                          &w.chkArtNet(), &w.cmdNetwork(), &w.devList(), &w.cmdTest()));
}

TEST_F(DeviceDialogFltkTest, TestAndOkClickedThroughTheToolkit) {
  driver.Configure();
  TakeLog();
  DeviceWindow& w = window();
  w.txtCommPort().value("2.9");
  probes.testResult = " 10";
  w.cmdTest().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("TestProPort 2"));
  EXPECT_EQ(state.comPort, 2);
  EXPECT_EQ(w.ResultCaption(), " 10");
  EXPECT_STREQ(w.lblResult().label(), " 10");
  EXPECT_TRUE(settings.values.empty());

  w.txtCommPort().value("5");
  w.cmdOK().do_callback();
  EXPECT_THAT(TakeLog(),
              ElementsAre("Write comPort=5", "Write DeviceType=DMXUSBpro", "OpenProPort"));
  EXPECT_EQ(settings.Stored("comPort"), "5");

  // The other option, then OK: only the device type is written.
  w.optOpenDMXUSB().setonly();
  w.cmdOK().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "StartOpenDmx"));
  EXPECT_EQ(w.optDMXUSBpro().value(), 0);

  // Each click on the widget option scans, selected or not.
  w.optDMXUSBpro().setonly();
  w.optDMXUSBpro().do_callback();
  w.optDMXUSBpro().do_callback();
  EXPECT_THAT(TakeLog(), ElementsAre("ScanProPorts", "ScanProPorts"));
  EXPECT_EQ(w.ListCount(), 6);
  EXPECT_TRUE(dialog.IsLoaded());  // OK and Test leave it open
  EXPECT_THAT(fallbackReports.messages, IsEmpty());
}

TEST_F(DeviceDialogFltkTest, AnInvalidPortTextIsRefusedInAModalBoxThatCanBeDismissed) {
  driver.Configure();
  TakeLog();
  window().txtCommPort().value("x@1");
  SeenBox seen;
  Fl::add_timeout(0.1, DismissModal, &seen);
  window().cmdOK().do_callback();
  EXPECT_TRUE(seen.seen);
  EXPECT_EQ(seen.text, "Invalid port number: x@@1");  // '@' drawn literally
  EXPECT_EQ(seen.button, kMessageBoxOk);
  EXPECT_EQ(Fl::modal(), nullptr);
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_TRUE(settings.values.empty());
  EXPECT_THAT(fallbackReports.messages, IsEmpty());
}

TEST_F(DeviceDialogFltkTest, ConfigureWhileOpenOnlyRaisesIt) {
  driver.Configure();
  TakeLog();
  DeviceWindow* first = dialog.window();
  first->txtCommPort().value("9");
  EXPECT_TRUE(driver.Configure());
  EXPECT_EQ(dialog.window(), first);
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_STREQ(first->txtCommPort().value(), "9");
  EXPECT_EQ(first->ListCount(), 2);
}

TEST_F(DeviceDialogFltkTest, TheCloseBoxUnloadsWithoutAHandlerAndTheNextConfigureLoadsAfresh) {
  driver.Configure();
  window().txtCommPort().value("5");
  window().cmdTest().do_callback();  // comPort 5 in memory only
  TakeLog();

  // Escape does not close it; the close box does.
  Fl_Double_Window& frm = window().frmDevice();
  Fl::e_keysym = FL_Escape;
  Fl::handle(FL_SHORTCUT, &frm);
  EXPECT_TRUE(dialog.IsLoaded());
  Fl::handle(FL_CLOSE, &frm);
  EXPECT_FALSE(dialog.IsLoaded());
  Settle();
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_TRUE(settings.values.empty());

  EXPECT_TRUE(driver.Configure());
  EXPECT_THAT(TakeLog(), ElementsAre("CloseProPort", "ScanProPorts"));
  EXPECT_STREQ(window().txtCommPort().value(), " 5");
  EXPECT_EQ(window().InfoCaption(), "Current Device: DMXUSBpro on port: 5");
  EXPECT_EQ(window().ResultCaption(), "Test Result");
  EXPECT_EQ(window().ListCount(), 2);
}

TEST_F(DeviceDialogFltkTest, AFailingLoadStepFailsConfigureAndLeavesNoDialog) {
  pro.FailOn("CloseProPort", Failure(ErrorNumber::kPortDeviceGone));
  EXPECT_FAILURE(driver.Configure(), ErrorNumber::kPortDeviceGone);
  EXPECT_FALSE(dialog.IsLoaded());
  pro.ClearFailures();
  EXPECT_TRUE(driver.Configure());
  EXPECT_TRUE(dialog.IsLoaded());
}

TEST_F(DeviceDialogFltkTest, PumpingDispatchesTheDialogsEvents) {
  driver.Configure();
  TakeLog();
  // A close request from the server, as a window manager sends it.
  Fl_Double_Window& frm = window().frmDevice();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = fl_xid(&frm);
  event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
  XSendEvent(fl_display, fl_xid(&frm), False, NoEventMask, &event);
  XFlush(fl_display);
  for (int i = 0; i < 50 && dialog.IsLoaded(); ++i) dialog.PumpEvents(20);
  EXPECT_FALSE(dialog.IsLoaded());
  EXPECT_THAT(TakeLog(), IsEmpty());
}

// The dialog's window as drawn, written to the build folder; not blank.
void WriteScreenshot(Fl_Double_Window& frm, const std::string& name) {
  frm.make_current();
  std::vector<uint8_t> pixels(static_cast<size_t>(frm.w() * frm.h() * 3));
  ASSERT_NE(fl_read_image(pixels.data(), 0, 0, frm.w(), frm.h()), nullptr);
  const std::string path = std::string(LUMIVANE_SCREENSHOT_DIR) + "/" + name;
  ASSERT_TRUE(test::WritePng(path, frm.w(), frm.h(), pixels)) << path;
  // Not blank: the controls drew something other than the background.
  size_t dark = 0;
  for (size_t i = 0; i < pixels.size(); i += 3) dark += pixels[i] < 64 ? 1 : 0;
  EXPECT_GT(dark, 100u);
  std::printf("screenshot: %s\n", path.c_str());
}

// The screen around the dialog, tooltips included (they are windows of
// their own), written to the build folder.
void WriteScreenScreenshot(const Fl_Double_Window& frm, const std::string& name) {
  const int x = std::max(0, frm.x() - 20);
  const int y = std::max(0, frm.y() - 20);
  const int w = std::min(Fl::w() - x, frm.w() + 240);
  const int h = std::min(Fl::h() - y, frm.h() + 60);
  XImage* image = XGetImage(fl_display, RootWindow(fl_display, fl_screen), x, y,
                            static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(w * h * 3));
  for (int row = 0; row < h; ++row) {
    for (int column = 0; column < w; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      pixels.push_back(static_cast<uint8_t>((pixel & image->red_mask) >> 16));
      pixels.push_back(static_cast<uint8_t>((pixel & image->green_mask) >> 8));
      pixels.push_back(static_cast<uint8_t>(pixel & image->blue_mask));
    }
  }
  XDestroyImage(image);
  const std::string path = std::string(LUMIVANE_SCREENSHOT_DIR) + "/" + name;
  ASSERT_TRUE(test::WritePng(path, w, h, pixels)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

// The list keeps its designed size, narrower than a widget's entry: the
// entry scrolls into view, and the row under the pointer shows whole as its
// tooltip. Each state is kept as a screenshot.
TEST_F(DeviceDialogFltkTest, WritesScreenshotsOfTheDialogWithTheWholeEntryReadable) {
  driver.Configure();
  window().SetResultCaption("serial number:  78563412");
  Settle();
  Fl_Double_Window& frm = window().frmDevice();
  Fl_Hold_Browser& list = window().devList();
  EXPECT_EQ(list.w(), 1500 / 15);
  EXPECT_TRUE(list.hscrollbar.visible()) << "the widget's entry is wider than the list";
  WriteScreenshot(frm, "device_dialog.png");

  // Dragged as far right as the scroll bar goes.
  list.hscrollbar.value(static_cast<int>(list.hscrollbar.maximum()));
  list.hscrollbar.do_callback();
  Settle();
  EXPECT_GT(list.hposition(), 0);
  WriteScreenshot(frm, "device_dialog_scrolled.png");
  list.hposition(0);

  // The pointer onto the second row, the widget's.
  Fl_Tooltip::enable();
  Fl_Tooltip::delay(0.05f);
  fl_font(list.textfont(), list.textsize());
  const int rowHeight = fl_height() + 2;
  XWarpPointer(fl_display, None, fl_xid(&frm), 0, 0, 0, 0, list.x() + list.w() / 3,
               list.y() + Fl::box_dy(list.box()) + rowHeight + rowHeight / 2);
  XFlush(fl_display);
  for (int i = 0; i < 50 && (list.tooltip() == nullptr || Fl_Tooltip::current() != &list); ++i) {
    Fl::wait(0.02);
  }
  Settle();
  ASSERT_NE(list.tooltip(), nullptr);
  EXPECT_STREQ(list.tooltip(), "Pro Widget - Com:  3 : 78563412");
  EXPECT_EQ(Fl_Tooltip::current(), &list);
  WriteScreenScreenshot(frm, "device_dialog_tooltip.png");

  // Off the rows, no tip.
  XWarpPointer(fl_display, None, fl_xid(&frm), 0, 0, 0, 0, list.x() + list.w() / 3,
               list.y() + list.h() - 22);
  XFlush(fl_display);
  Settle();
  EXPECT_EQ(list.tooltip(), nullptr);
}

// The same clicks with the real scan, Test, parser and widget link, on a
// serial component whose port 3 is a widget.
TEST(DeviceDialogFltkWidgetTest, TestAndOkOnAWidgetThroughTheToolkit) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run_with_xvfb.sh)";
  DriverState state;
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  test::CallLog log;
  test::FakeSettingsStore settings{&log};
  test::FakePortTransmitter fake;
  fake.serial->AddPort(1);
  fake.serial->AddPort(3, test::Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7}));
  test::RecordingReports reports;
  WidgetLink pro{state, fake.transmitter, reports};
  test::FakeOpenDmxLink openDmx{&log};
  DeviceRouting routing{state, pro, openDmx};
  test::FakeClock clock;
  ReplyParser parser{reports};
  ProWidgetProbe probes{fake.transmitter, pro, parser, clock, reports};
  FltkDeviceDialog dialog{{state, settings, routing, probes, reports}};
  FakeTransmitter transmitter;
  Plugin plugin{state, settings, transmitter, pro, routing, dialog};
  clsOutputDriver driver{plugin};

  EXPECT_TRUE(driver.Configure());
  DeviceWindow& w = *dialog.window();
  ASSERT_EQ(w.ListCount(), 2);
  EXPECT_EQ(w.ListText(1), "Pro Widget - Com:  3 : 78563412");
  EXPECT_EQ(w.ListItemData(1), 3);

  w.txtCommPort().value(" 3 ");
  w.cmdTest().do_callback();
  EXPECT_STREQ(w.lblinfo().label(), "7E A 4 0 12 34 56 78 E7 ");
  EXPECT_STREQ(w.lblResult().label(), " 10");

  w.txtCommPort().value("1");
  fake.serial->SetPortOpen(false);
  w.cmdTest().do_callback();
  EXPECT_STREQ(w.lblResult().label(), "Nothing Recieved");

  state.dmxData[1] = 1;
  w.cmdOK().do_callback();  // port 1 is still open from Test: the link goes on with it
  EXPECT_THAT(log, ElementsAre("Write comPort=1", "Write DeviceType=DMXUSBpro"));
  EXPECT_EQ(state.dmxData[1], 0);
  EXPECT_THAT(reports.messages, IsEmpty());
  Fl::handle(FL_CLOSE, &w.frmDevice());
  EXPECT_FALSE(dialog.IsLoaded());
  Settle();
}

}  // namespace
}  // namespace lumivane
