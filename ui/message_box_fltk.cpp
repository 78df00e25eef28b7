// SPDX-License-Identifier: MIT
#include "ui/message_box_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>

#include "core/output_driver.h"
#include "ui/label_text.h"

namespace lumivane {
namespace {

constexpr int kTextSize = 12;
constexpr int kMargin = 12;
constexpr int kTextWidthMax = 420;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

void Dismiss(Fl_Widget* button, void*) {
  button->window()->hide();
}

}  // namespace

void ShowToolkitMessageBox(std::string_view text) {
  const std::string label = ToolkitLabel(text);
  fl_font(FL_HELVETICA, kTextSize);
  int textWidth = kTextWidthMax;
  int textHeight = 0;
  fl_measure(label.c_str(), textWidth, textHeight);
  // The toolkit draws a label 3 pixels in from either side.
  textWidth = std::max(textWidth + 6, kButtonWidth);
  textHeight = std::max(textHeight, kTextSize);
  const int width = textWidth + 2 * kMargin;
  const int height = textHeight + kButtonHeight + 3 * kMargin;

  // The box has no caption of its own: it carries the plug-in's name, as
  // the platform does for boxes that do not set one.
  const std::string title(kPluginName);
  Fl_Window box(width, height, title.c_str());
  auto* message = new Fl_Box(kMargin, kMargin, textWidth, textHeight);
  message->copy_label(label.c_str());
  message->labelsize(kTextSize);
  message->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  auto* ok = new Fl_Return_Button((width - kButtonWidth) / 2, height - kMargin - kButtonHeight,
                                  kButtonWidth, kButtonHeight, kMessageBoxOk);
  ok->labelsize(kTextSize);
  ok->callback(Dismiss);
  box.end();
  box.set_modal();
  box.position(Fl::x() + (Fl::w() - width) / 2, Fl::y() + (Fl::h() - height) / 2);
  box.show();
  while (box.shown()) Fl::wait();
}

}  // namespace lumivane
