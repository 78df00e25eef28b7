// SPDX-License-Identifier: MIT
// A stand-in for FTD2XX.DLL with the calls the plug-in makes. Every call is
// appended to the file named by LUMIVANE_FAKE_D2XX_LOG, one a line:
//   <microseconds on the performance counter> <function> [arguments]
// and the function named by LUMIVANE_FAKE_D2XX_FAIL returns FT_IO_ERROR.
// Both are read at each call, so a test can change them as it goes.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

using Status = ULONG;
constexpr Status kOk = 0;
constexpr Status kInvalidHandle = 1;
constexpr Status kIoError = 4;

int gDevice = 0;  // the handle is its address
std::mutex gMutex;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n == 0 || n >= 1024 ? std::wstring() : std::wstring(value, n);
}

long long Microseconds() {
  LARGE_INTEGER now{}, frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000 +
                                now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

Status Record(const char* function, const std::string& arguments = {}) {
  std::lock_guard lock(gMutex);
  const std::wstring log = Environment(L"LUMIVANE_FAKE_D2XX_LOG");
  if (!log.empty()) {
    if (FILE* f = _wfopen(log.c_str(), L"a")) {
      std::fprintf(f, "%lld %s%s%s\n", Microseconds(), function, arguments.empty() ? "" : " ",
                   arguments.c_str());
      std::fclose(f);
    }
  }
  const std::wstring fail = Environment(L"LUMIVANE_FAKE_D2XX_FAIL");
  const std::string name(function);
  return fail == std::wstring(name.begin(), name.end()) ? kIoError : kOk;
}

bool Valid(void* handle) {
  return handle == &gDevice;
}

}  // namespace

#define FAKE_EXPORT extern "C" __declspec(dllexport) Status WINAPI

FAKE_EXPORT FT_Open(int device, void** handle) {
  const Status s = Record("FT_Open", std::to_string(device));
  if (s == kOk) *handle = &gDevice;
  return s;
}
FAKE_EXPORT FT_ResetDevice(void* h) {
  return Valid(h) ? Record("FT_ResetDevice") : kInvalidHandle;
}
FAKE_EXPORT FT_SetDivisor(void* h, USHORT divisor) {
  return Valid(h) ? Record("FT_SetDivisor", std::to_string(divisor)) : kInvalidHandle;
}
FAKE_EXPORT FT_SetDataCharacteristics(void* h, UCHAR bits, UCHAR stop, UCHAR parity) {
  return Valid(h) ? Record("FT_SetDataCharacteristics", std::to_string(bits) + " " +
                                                            std::to_string(stop) + " " +
                                                            std::to_string(parity))
                  : kInvalidHandle;
}
FAKE_EXPORT FT_SetFlowControl(void* h, USHORT flow, UCHAR xon, UCHAR xoff) {
  return Valid(h) ? Record("FT_SetFlowControl", std::to_string(flow) + " " + std::to_string(xon) +
                                                    " " + std::to_string(xoff))
                  : kInvalidHandle;
}
FAKE_EXPORT FT_ClrRts(void* h) {
  return Valid(h) ? Record("FT_ClrRts") : kInvalidHandle;
}
FAKE_EXPORT FT_Purge(void* h, ULONG mask) {
  return Valid(h) ? Record("FT_Purge", std::to_string(mask)) : kInvalidHandle;
}
FAKE_EXPORT FT_Close(void* h) {
  return Valid(h) ? Record("FT_Close") : kInvalidHandle;
}
FAKE_EXPORT FT_Write(void* h, void* buffer, DWORD size, DWORD* written) {
  if (!Valid(h)) return kInvalidHandle;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::string arguments = std::to_string(size);
  // The start code and the first channels, enough to see the frame.
  for (DWORD i = 0; i < size && i < 4; ++i) arguments += " " + std::to_string(bytes[i]);
  const Status s = Record("FT_Write", arguments);
  *written = s == kOk ? size : 0;
  return s;
}
FAKE_EXPORT FT_SetBreakOn(void* h) {
  return Valid(h) ? Record("FT_SetBreakOn") : kInvalidHandle;
}
// The partial build leaves one function out, as an old or foreign DLL might.
#ifndef LUMIVANE_FAKE_D2XX_PARTIAL
FAKE_EXPORT FT_SetBreakOff(void* h) {
  return Valid(h) ? Record("FT_SetBreakOff") : kInvalidHandle;
}
#endif
