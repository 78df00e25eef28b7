// SPDX-License-Identifier: MIT
#include "tests/windows/fake_d2xx_log.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

FakeD2xxLog::FakeD2xxLog() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  path_ = std::wstring(folder) + L"lumivane_fake_d2xx_" + std::to_wstring(GetCurrentProcessId()) +
          L".log";
  Clear();
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_LOG", path_.c_str());
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_FAIL", nullptr);
}

FakeD2xxLog::~FakeD2xxLog() {
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_LOG", nullptr);
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_FAIL", nullptr);
  DeleteFileW(path_.c_str());
}

void FakeD2xxLog::FailCall(const std::string& function) {
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_FAIL",
                          std::wstring(function.begin(), function.end()).c_str());
}

void FakeD2xxLog::Clear() {
  DeleteFileW(path_.c_str());
}

std::vector<D2xxCall> FakeD2xxLog::Calls() const {
  std::vector<D2xxCall> calls;
  std::ifstream in{std::filesystem::path(path_)};
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    D2xxCall call;
    fields >> call.microseconds >> call.function;
    std::getline(fields >> std::ws, call.arguments);
    calls.push_back(call);
  }
  return calls;
}

std::vector<std::string> FakeD2xxLog::SetupCalls() const {
  std::vector<std::string> calls;
  for (const D2xxCall& c : Calls()) {
    if (c.function == "FT_Write" || c.function == "FT_SetBreakOn" || c.function == "FT_SetBreakOff")
      continue;
    calls.push_back(c.arguments.empty() ? c.function : c.function + " " + c.arguments);
  }
  return calls;
}
