// SPDX-License-Identifier: MIT
// A stand-in for FTD2XX.DLL with the calls the plug-in makes. Every call is
// appended to the file named by LUMIVANE_FAKE_D2XX_LOG, one a line:
//   <microseconds on the performance counter> <function> [arguments]
// and the function named by LUMIVANE_FAKE_D2XX_FAIL returns FT_IO_ERROR.
// While LUMIVANE_FAKE_D2XX_UNPLUGGED is set the device is away: FT_Open
// fails with FT_DEVICE_NOT_FOUND, and the handles open when it went fail
// every call but FT_Close with FT_IO_ERROR, also once it is back. All are
// read at each call, so a test can change them as it goes.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

using Status = ULONG;
constexpr Status kOk = 0;
constexpr Status kInvalidHandle = 1;
constexpr Status kDeviceNotFound = 2;
constexpr Status kIoError = 4;

// A handle is the address of its slot; a slot is reused once closed.
struct Device {
  bool open = false;
  bool lost = false;  // the device went away while it was open
};
Device gDevices[8];
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

bool Unplugged() {
  return !Environment(L"LUMIVANE_FAKE_D2XX_UNPLUGGED").empty();
}

Device* Find(void* handle) {
  for (Device& d : gDevices) {
    if (&d == handle && d.open) return &d;
  }
  return nullptr;
}

// A call on a handle: invalid, lost with the device, or recorded.
Status On(void* handle, const char* function, const std::string& arguments = {}) {
  bool lost = false;
  {
    std::lock_guard lock(gMutex);
    Device* device = Find(handle);
    if (device == nullptr) return kInvalidHandle;
    if (Unplugged()) {
      for (Device& d : gDevices) d.lost = d.lost || d.open;
    }
    lost = device->lost;
  }
  const Status s = Record(function, arguments);
  return lost ? kIoError : s;
}

}  // namespace

#define FAKE_EXPORT extern "C" __declspec(dllexport) Status WINAPI

FAKE_EXPORT FT_Open(int device, void** handle) {
  Status s = Record("FT_Open", std::to_string(device));
  std::lock_guard lock(gMutex);
  if (Unplugged()) s = kDeviceNotFound;
  if (s != kOk) return s;
  for (Device& d : gDevices) {
    if (!d.open) {
      d = Device{true, false};
      *handle = &d;
      return kOk;
    }
  }
  return kIoError;
}
FAKE_EXPORT FT_ResetDevice(void* h) {
  return On(h, "FT_ResetDevice");
}
FAKE_EXPORT FT_SetDivisor(void* h, USHORT divisor) {
  return On(h, "FT_SetDivisor", std::to_string(divisor));
}
FAKE_EXPORT FT_SetDataCharacteristics(void* h, UCHAR bits, UCHAR stop, UCHAR parity) {
  return On(h, "FT_SetDataCharacteristics",
            std::to_string(bits) + " " + std::to_string(stop) + " " + std::to_string(parity));
}
FAKE_EXPORT FT_SetFlowControl(void* h, USHORT flow, UCHAR xon, UCHAR xoff) {
  return On(h, "FT_SetFlowControl",
            std::to_string(flow) + " " + std::to_string(xon) + " " + std::to_string(xoff));
}
FAKE_EXPORT FT_ClrRts(void* h) {
  return On(h, "FT_ClrRts");
}
FAKE_EXPORT FT_Purge(void* h, ULONG mask) {
  return On(h, "FT_Purge", std::to_string(mask));
}
FAKE_EXPORT FT_Close(void* h) {
  {
    std::lock_guard lock(gMutex);
    if (Find(h) == nullptr) return kInvalidHandle;
  }
  const Status s = Record("FT_Close");
  std::lock_guard lock(gMutex);
  static_cast<Device*>(h)->open = false;
  return s;
}
FAKE_EXPORT FT_Write(void* h, void* buffer, DWORD size, DWORD* written) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::string arguments = std::to_string(size);
  // The start code and the first channels, enough to see the frame.
  for (DWORD i = 0; i < size && i < 4; ++i) arguments += " " + std::to_string(bytes[i]);
  const Status s = On(h, "FT_Write", arguments);
  *written = s == kOk ? size : 0;
  return s;
}
FAKE_EXPORT FT_SetBreakOn(void* h) {
  return On(h, "FT_SetBreakOn");
}
// The partial build leaves one function out, as an old or foreign DLL might.
#ifndef LUMIVANE_FAKE_D2XX_PARTIAL
FAKE_EXPORT FT_SetBreakOff(void* h) {
  return On(h, "FT_SetBreakOff");
}
#endif
