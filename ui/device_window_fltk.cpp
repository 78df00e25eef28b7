// SPDX-License-Identifier: MIT
#include "ui/device_window_fltk.h"

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

#include <cstdint>

#include "ui/label_text.h"
#include "ui/window_hints_x11.h"

namespace lumivane {
namespace {

constexpr int kTwipsPerPixel = 15;
// The design font (8.25 pt) is narrower than ours at 11 px; 10 px fits the
// designed widths.
constexpr int kFontSize = 10;

// A position and size in twips, as the dialog was designed.
struct Twips {
  int left, top, width, height;
};

constexpr Twips kClientArea{0, 0, 4035, 3210};
constexpr Twips kFrame1{180, 330, 3795, 2220};
// The network output's window, and its button in the gap between the box
// and OK.
constexpr Twips kCmdNetwork{2385, 2700, 300, 300};
constexpr Twips kNetworkArea{0, 0, 3600, 2700};

struct Pixels {
  int x, y, w, h;
};

// Controls inside Frame1 count from its corner.
constexpr Pixels ToPixels(Twips t, Twips container = {0, 0, 0, 0}) {
  return {(container.left + t.left) / kTwipsPerPixel, (container.top + t.top) / kTwipsPerPixel,
          t.width / kTwipsPerPixel, t.height / kTwipsPerPixel};
}

template <typename Widget>
Widget* Make(Pixels p, const char* label = nullptr) {
  auto* widget = new Widget(p.x, p.y, p.w, p.h, label);
  widget->labelsize(kFontSize);
  return widget;
}

// A label: its text from the very corner of its area (the toolkit's own
// labels keep a margin the designed widths have no room for), wrapped at
// words and clipped to the area.
class Caption final : public Fl_Box {
 public:
  Caption(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text) {
    box(FL_FLAT_BOX);
  }

  void draw() override {
    draw_box();
    if (label() == nullptr) return;
    fl_push_clip(x(), y(), w(), h());
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_draw(label(), x(), y(), w(), h(), FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    fl_pop_clip();
  }
};

Fl_Box* MakeLabel(Pixels p, const char* caption, Fl_Font font = FL_HELVETICA) {
  auto* label = Make<Caption>(p);
  label->labelfont(font);
  label->copy_label(ToolkitLabel(caption).c_str());
  return label;
}

// The group frame: an engraved line with its caption set into the top edge.
// The option buttons inside it are grouped by the window, so that the tab
// order can run in and out of the frame as designed.
class GroupFrame final : public Fl_Box {
 public:
  GroupFrame(int x, int y, int w, int h, const char* caption) : Fl_Box(x, y, w, h, caption) {
    box(FL_NO_BOX);
  }

  void draw() override {
    const int lineTop = y() + labelsize() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), lineTop, w(), h() - (lineTop - y()), color());
    fl_font(labelfont(), labelsize());
    int textWidth = 0;
    int textHeight = 0;
    fl_measure(label(), textWidth, textHeight, 0);
    fl_color(color());
    fl_rectf(x() + 6, y(), textWidth + 4, textHeight);
    fl_color(labelcolor());
    fl_draw(label(), x() + 8, y(), textWidth, textHeight, FL_ALIGN_LEFT | FL_ALIGN_INSIDE, nullptr,
            0);
  }
};

// An option whose handler runs on every click, also on the option already
// selected (so its release always calls back), but not when the press is
// dragged off the control before it is released.
class ClickOption final : public Fl_Round_Button {
 public:
  using Fl_Round_Button::Fl_Round_Button;

  int handle(int event) override {
    if (event != FL_RELEASE || Fl::event_inside(this)) return Fl_Round_Button::handle(event);
    const Fl_When always = when();
    when(static_cast<uchar>(always & ~FL_WHEN_NOT_CHANGED));
    const int handled = Fl_Round_Button::handle(event);
    when(always);
    return handled;
  }
};

// The list of ports found keeps its designed size, narrower than a widget's
// entry: it scrolls sideways, and the row under the pointer shows whole as
// its tooltip.
class ScanList final : public Fl_Hold_Browser {
 public:
  ScanList(int x, int y, int w, int h, const char* label) : Fl_Hold_Browser(x, y, w, h, label) {
    has_scrollbar(BOTH);  // each only when needed
  }

  int handle(int event) override {
    const int handled = Fl_Hold_Browser::handle(event);
    if (event == FL_ENTER || event == FL_MOVE) {
      TipRowUnderPointer();
      return 1;  // keeps the moves coming
    }
    if (event == FL_LEAVE) tooltip(nullptr);
    return handled;
  }

 private:
  void TipRowUnderPointer() {
    void* row = find_item(Fl::event_y());
    const char* text = row != nullptr ? item_text(row) : nullptr;
    if (text == nullptr || *text == '\0') {
      tooltip(nullptr);
      Fl_Tooltip::enter_area(this, 0, 0, w(), h(), nullptr);
      return;
    }
    // The entries stay until the dialog goes, so the tip can point at one.
    if (tooltip() == text) return;
    tooltip(text);
    int boxX = 0, boxY = 0, boxW = 0, boxH = 0;
    bbox(boxX, boxY, boxW, boxH);
    const int rowHeight = item_height(row);
    const int rowTop = Fl::event_y() - (Fl::event_y() - boxY + position()) % rowHeight;
    Fl_Tooltip::enter_area(this, 0, rowTop - y(), w(), rowHeight, text);
  }
};

}  // namespace

DeviceWindow::DeviceWindow(Events events) : events_(std::move(events)) {
  const Pixels client = ToPixels(kClientArea);
  window_ = std::make_unique<Fl_Double_Window>(client.w, client.h, kCaption);
  window_->callback(OnWindowCallback, &events_.closeBox);

  // The frame first, so the controls are drawn over it; it takes no focus.
  // The other controls follow in tab order.
  Frame1_ = new GroupFrame(ToPixels(kFrame1).x, ToPixels(kFrame1).y, ToPixels(kFrame1).w,
                           ToPixels(kFrame1).h, "DMX device");
  Frame1_->labelsize(kFontSize);

  cmdOK_ = Make<Fl_Button>(ToPixels({2715, 2655, 1245, 435}), "OK");
  cmdOK_->callback(Dispatch, &events_.cmdOKClick);

  optOpenDMXUSB_ =
      Make<Fl_Round_Button>(ToPixels({180, 210, 2400, 360}, kFrame1), "Enttec Open DMX USB");
  optOpenDMXUSB_->type(FL_RADIO_BUTTON);

  optDMXUSBpro_ = Make<ClickOption>(ToPixels({180, 480, 2745, 390}, kFrame1), "Enttec DMX USB Pro");
  optDMXUSBpro_->type(FL_RADIO_BUTTON);
  optDMXUSBpro_->value(1);
  // Every click runs the scan, also one on the option already selected.
  optDMXUSBpro_->when(FL_WHEN_RELEASE_ALWAYS);
  optDMXUSBpro_->callback(Dispatch, &events_.optDMXUSBproClick);

  Label1_ = MakeLabel(ToPixels({270, 855, 1500, 285}, kFrame1), "Serial Port number:");

  txtCommPort_ = Make<Fl_Input>(ToPixels({1800, 810, 315, 300}, kFrame1));
  txtCommPort_->textsize(kFontSize);
  txtCommPort_->value("1");

  // Ticked: OK sends the universe over the network too (Art-Net or sACN, as
  // the network window says).
  chkArtNet_ = Make<Fl_Check_Button>(ToPixels({390, 2700, 1980, 300}), "Enable ArtNet");
  // Next in tab order, so Tab from Test still reaches OK.
  cmdNetwork_ = Make<Fl_Button>(ToPixels(kCmdNetwork), "...");
  cmdNetwork_->tooltip("Network output: protocol, destination, universe, nodes");
  cmdNetwork_->callback(ShowNetwork, this);

  lblinfo_ = MakeLabel(ToPixels({180, 75, 3765, 270}), "Info", FL_HELVETICA_BOLD);
  info_ = "Info";

  devList_ = Make<ScanList>(ToPixels({2220, 570, 1500, 1425}, kFrame1));
  devList_->textsize(kFontSize);
  // Entries are shown as they are: no '@' formatting codes, no columns.
  devList_->format_char(0);
  devList_->column_char(0);

  cmdTest_ = Make<Fl_Button>(ToPixels({345, 1215, 1020, 360}, kFrame1), "Test");
  cmdTest_->callback(Dispatch, &events_.cmdTestClick);

  lblResult_ = MakeLabel(ToPixels({165, 1755, 1905, 315}, kFrame1), "Test Result");
  result_ = "Test Result";

  window_->end();
  // A fixed frame: neither larger nor smaller.
  window_->size_range(client.w, client.h, client.w, client.h);
  BuildNetworkWindow();
}

void DeviceWindow::BuildNetworkWindow() {
  const Pixels area = ToPixels(kNetworkArea);
  network_ = std::make_unique<Fl_Double_Window>(area.w, area.h, kNetworkCaption);
  network_->callback(HideNetwork, this);
  optArtNet_ = Make<Fl_Round_Button>(ToPixels({180, 120, 1200, 300}), "Art-Net");
  optArtNet_->type(FL_RADIO_BUTTON);
  optArtNet_->value(1);
  optSacn_ = Make<Fl_Round_Button>(ToPixels({1500, 120, 1800, 300}), "sACN (E1.31)");
  optSacn_->type(FL_RADIO_BUTTON);
  MakeLabel(ToPixels({180, 540, 1500, 285}), "Destination:");
  txtNetAddress_ = Make<Fl_Input>(ToPixels({1740, 495, 1680, 300}));
  txtNetAddress_->textsize(kFontSize);
  txtNetAddress_->tooltip("Empty: sACN's multicast group of the universe");
  MakeLabel(ToPixels({180, 915, 1500, 285}), "Universe:");
  txtNetUniverse_ = Make<Fl_Input>(ToPixels({1740, 870, 840, 300}));
  txtNetUniverse_->textsize(kFontSize);
  cmdFindNodes_ = Make<Fl_Button>(ToPixels({180, 1290, 1200, 360}), "Find nodes");
  cmdFindNodes_->callback(Dispatch, &events_.cmdFindNodesClick);
  cmdNetworkClose_ = Make<Fl_Button>(ToPixels({2220, 1290, 1200, 360}), "Close");
  cmdNetworkClose_->callback(HideNetwork, this);
  lstNodes_ = Make<Fl_Hold_Browser>(ToPixels({180, 1770, 3240, 780}));
  lstNodes_->textsize(kFontSize);
  lstNodes_->format_char(0);
  lstNodes_->column_char(0);
  lstNodes_->has_scrollbar(Fl_Browser_::VERTICAL);
  lstNodes_->callback(Dispatch, &events_.lstNodesClick);
  network_->end();
  network_->size_range(area.w, area.h, area.w, area.h);
}

// Never destroyed inside one of the window's own callbacks (the dialog
// defers that), so the window can go at once.
DeviceWindow::~DeviceWindow() = default;

void DeviceWindow::Show() {
  if (!placed_) {
    window_->position(Fl::x() + (Fl::w() - window_->w()) / 2,
                      Fl::y() + (Fl::h() - window_->h()) / 2);
  }
  window_->show();
  if (!placed_) {
    HintFixedDialog(*window_);
    cmdOK_->take_focus();  // first in tab order
    placed_ = true;
  }
}

void DeviceWindow::ShowNetwork(Fl_Widget*, void* self) {
  auto& window = *static_cast<DeviceWindow*>(self);
  Fl_Double_Window& network = *window.network_;
  if (!window.networkPlaced_) {
    // Beside the dialog, over its right edge.
    network.position(window.window_->x() + window.window_->w() / 2,
                     window.window_->y() + window.window_->h() / 4);
  }
  network.show();
  if (!window.networkPlaced_) {
    HintFixedDialog(network);
    window.networkPlaced_ = true;
  }
}

void DeviceWindow::HideNetwork(Fl_Widget*, void* self) {
  // Escape closes this one; what it holds stays for OK.
  static_cast<DeviceWindow*>(self)->network_->hide();
}

void DeviceWindow::Dispatch(Fl_Widget*, void* handler) {
  const auto& run = *static_cast<std::function<void()>*>(handler);
  if (run) run();
}

void DeviceWindow::OnWindowCallback(Fl_Widget*, void* handler) {
  // The toolkit sends Escape here too; the dialog closes only by its box.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  Dispatch(nullptr, handler);
}

void DeviceWindow::AddListEntry(std::string_view text) {
  devList_->add(std::string(text).c_str(), nullptr);
}

void DeviceWindow::SetLastEntryItemData(int32_t data) {
  const int last = devList_->size();
  if (last > 0) devList_->data(last, reinterpret_cast<void*>(static_cast<intptr_t>(data)));
}

void DeviceWindow::SetInfoCaption(std::string_view text) {
  info_ = text;
  lblinfo_->copy_label(ToolkitLabel(text).c_str());
  lblinfo_->redraw();
}

void DeviceWindow::SetResultCaption(std::string_view text) {
  result_ = text;
  lblResult_->copy_label(ToolkitLabel(text).c_str());
  lblResult_->redraw();
}

void DeviceWindow::SetPortText(std::string_view text) {
  txtCommPort_->value(text.data(), static_cast<int>(text.size()));
}

std::string DeviceWindow::PortText() const {
  return std::string(txtCommPort_->value(), static_cast<size_t>(txtCommPort_->size()));
}

void DeviceWindow::SelectProWidget() {
  optDMXUSBpro_->setonly();
}

bool DeviceWindow::ProWidgetSelected() const {
  return optDMXUSBpro_->value() != 0;
}

bool DeviceWindow::OpenDmxSelected() const {
  return optOpenDMXUSB_->value() != 0;
}

void DeviceWindow::SetNetworkFields(const NetworkFields& fields) {
  chkArtNet_->value(fields.enabled ? 1 : 0);
  (fields.sacn ? optSacn_ : optArtNet_)->setonly();
  txtNetAddress_->value(fields.address.c_str());
  txtNetUniverse_->value(fields.universe.c_str());
}

DeviceView::NetworkFields DeviceWindow::TypedNetworkFields() const {
  NetworkFields fields;
  fields.enabled = chkArtNet_->value() != 0;
  fields.sacn = optSacn_->value() != 0;
  fields.address.assign(txtNetAddress_->value(), static_cast<size_t>(txtNetAddress_->size()));
  fields.universe.assign(txtNetUniverse_->value(), static_cast<size_t>(txtNetUniverse_->size()));
  return fields;
}

void DeviceWindow::SetNodeEntries(const std::vector<std::string>& entries) {
  lstNodes_->clear();
  for (const std::string& entry : entries) lstNodes_->add(entry.c_str());
}

int DeviceWindow::SelectedNodeEntry() const {
  return lstNodes_->value() - 1;
}

int DeviceWindow::ListCount() const {
  return devList_->size();
}

std::string DeviceWindow::ListText(int index) const {
  const char* text = devList_->text(index + 1);
  return text != nullptr ? text : "";
}

int32_t DeviceWindow::ListItemData(int index) const {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(devList_->data(index + 1)));
}

}  // namespace lumivane
