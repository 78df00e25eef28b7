// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Dismisses, from outside, every message box of this process titled
// `title`, and keeps its text: a user pressing OK.
class MessageBoxWatch {
 public:
  explicit MessageBoxWatch(std::wstring title);
  ~MessageBoxWatch();
  MessageBoxWatch(const MessageBoxWatch&) = delete;
  MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

  // The texts of the boxes dismissed so far, emptied.
  std::vector<std::wstring> Take();

 private:
  void Run();
  std::wstring title_;
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
