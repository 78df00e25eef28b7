// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// The calls the fake FTD2XX.DLL recorded, read back from its log file.
struct D2xxCall {
  long long microseconds;
  std::string function;
  std::string arguments;
};

class FakeD2xxLog {
 public:
  // Points the fake at a fresh log in the temporary folder and names no
  // failing call.
  FakeD2xxLog();
  ~FakeD2xxLog();
  void FailCall(const std::string& function);
  std::vector<D2xxCall> Calls() const;
  // "FT_Open 0", "FT_ResetDevice", ... in order, writes and breaks left out.
  std::vector<std::string> SetupCalls() const;
  void Clear();

 private:
  std::wstring path_;
};
