// SPDX-License-Identifier: MIT
#include "tests/windows/message_box_watch.h"

#include <windows.h>

#include <chrono>
#include <utility>

MessageBoxWatch::MessageBoxWatch(std::wstring title)
    : title_(std::move(title)), thread_(&MessageBoxWatch::Run, this) {}

MessageBoxWatch::~MessageBoxWatch() {
  stop_ = true;
  thread_.join();
}

std::vector<std::wstring> MessageBoxWatch::Take() {
  std::lock_guard lock(mutex_);
  return std::exchange(texts_, {});
}

void MessageBoxWatch::Run() {
  while (!stop_) {
    HWND box = FindWindowW(L"#32770", title_.c_str());
    if (box != nullptr && IsWindowVisible(box)) {
      wchar_t text[512] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 512);  // the box's static text
      {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
      }
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      // Gone before we look again, so one box is counted once.
      for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(5);
    }
    Sleep(5);
  }
}
