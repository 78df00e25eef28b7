// SPDX-License-Identifier: MIT
// A host fading all 512 channels at 40 steps a second into the widget on a
// COM port, for the Wine tests and the Windows fade benchmark. Step k sets
// every channel to k % 255 + 1.
//
//   widget_fade_host fade PORT SECONDS [term|unload]
//       through the registered DLL's vtable; ends with Term, or with the
//       object released and the DLL unloaded without Term
//   widget_fade_host blocking PORT SECONDS
//       the frame built and written through the serial component on every
//       call, waiting for the line: the DLL's way before its writes stopped
//       waiting
//   widget_fade_host stalled PORT
//       SetChannel through the vtable until a call fails (at most 20 s),
//       one call more, then Term
//   widget_fade_host replug PORT FOLDER
//       through the vtable while the script unplugs and replugs the widget:
//       channel 1 to 11, then FOLDER\set; once FOLDER\unplugged exists,
//       channel 2 to 21, 22, ... until a call fails (at most 10 s), channel
//       3 to 33, then FOLDER\lost holding those levels ("1:11 2:21
//       3:33"), and no call until FOLDER\done exists
//       (every wait at most 60 s); then Term
//
// It prints one figure a line ("steps 200", "step_ms 0.1 0.3 0.6" for p50,
// p99 and max, "final 200", ...) and exits 0 when it ran to the end.
#include <lumivane_idl.h>
#include <ole2.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/failure.h"
#include "prowidget/serial_port_win32.h"
#include "prowidget/widget_message.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 512;
constexpr auto kStepPeriod = 25ms;  // 40 steps a second
const wchar_t kTitle[] = L"Lumivane Fade Host";

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int LevelOf(size_t step) {
  return static_cast<int>(step % 255 + 1);
}

// A host call: 0, or the automation error number.
using Push = std::function<int(LONG channel, LONG value)>;

int Fade(const Push& push, double seconds) {
  std::vector<double> stepMs;
  int failed = 0;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Clock::time_point last = start;
  for (size_t step = 0;; ++step) {
    const Clock::time_point due = start + step * kStepPeriod;
    if (due >= end) break;
    std::this_thread::sleep_until(due);
    if (Clock::now() >= end) break;
    const Clock::time_point t0 = Clock::now();
    for (LONG channel = 1; channel <= kChannels; ++channel) {
      if (push(channel, LevelOf(step)) != 0) ++failed;
    }
    last = Clock::now();
    stepMs.push_back(Ms(last - t0));
  }
  const size_t steps = stepMs.size();
  std::vector<double> sorted = stepMs;
  std::sort(sorted.begin(), sorted.end());
  auto at = [&](double q) {
    return sorted[static_cast<size_t>(q * static_cast<double>(steps - 1))];
  };
  std::printf("steps %zu\nsteps_per_s %.1f\nstep_ms %.3f %.3f %.3f\nfailed %d\nfinal %d\n", steps,
              static_cast<double>(steps) / (Ms(last - start) / 1000.0), at(0.5), at(0.99),
              sorted.back(), failed, LevelOf(steps - 1));
  return failed;
}

void StoreSettings(int port) {
  const std::wstring key = std::wstring(L"Software\\VB and VBA Program Settings\\") + kTitle +
                           L"\\Plugins\\Lumivane.dll";
  const std::wstring portText = std::to_wstring(port), type = L"DMXUSBpro";
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"comPort", REG_SZ, portText.c_str(),
                  static_cast<DWORD>((portText.size() + 1) * sizeof(wchar_t)));
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"DeviceType", REG_SZ, type.c_str(),
                  static_cast<DWORD>((type.size() + 1) * sizeof(wchar_t)));
}

std::wstring ErrorDescription() {
  IErrorInfo* info = nullptr;
  std::wstring text;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR description = nullptr;
    info->GetDescription(&description);
    if (description != nullptr) text = description;
    SysFreeString(description);
    info->Release();
  }
  return text;
}

int ErrorNumberOf(HRESULT hr) {
  return hr == S_OK ? 0 : static_cast<int>(HRESULT_CODE(hr));
}

// The registered class, initialised on the widget's port.
_clsOutputDriver* CreateDriver(int port) {
  StoreSettings(port);
  _clsOutputDriver* driver = nullptr;
  if (CoCreateInstance(CLSID_clsOutputDriver, nullptr, CLSCTX_INPROC_SERVER, IID__clsOutputDriver,
                       reinterpret_cast<void**>(&driver)) != S_OK) {
    std::printf("cannot create the class\n");
    std::exit(1);
  }
  BSTR title = SysAllocString(kTitle), file = SysAllocString(L"Lumivane.dll");
  IDispatch* helper = nullptr;
  VARIANT_BOOL result = 0;
  const HRESULT hr = driver->init(&title, &file, &helper, &result);
  SysFreeString(title);
  SysFreeString(file);
  if (hr != S_OK) {
    std::printf("init failed: %d\n", ErrorNumberOf(hr));
    std::exit(1);
  }
  return driver;
}

int SetChannel(_clsOutputDriver* driver, LONG channel, LONG value) {
  VARIANT_BOOL result = 0;
  return ErrorNumberOf(driver->SetChannel(&channel, &value, &result));
}

// Term, or the release and unload that must send what waits without it.
void End(_clsOutputDriver* driver, bool term) {
  const Clock::time_point t0 = Clock::now();
  if (term) {
    VARIANT_BOOL result = 0;
    driver->Term(&result);
  }
  driver->Release();
  CoFreeUnusedLibrariesEx(0, 0);
  std::printf("end_ms %.1f\nunloaded %s\n", Ms(Clock::now() - t0),
              GetModuleHandleW(L"Lumivane.dll") == nullptr ? "yes" : "no");
}

int RunFade(int port, double seconds, bool term) {
  _clsOutputDriver* driver = CreateDriver(port);
  Fade([&](LONG channel, LONG value) { return SetChannel(driver, channel, value); }, seconds);
  End(driver, term);
  return 0;
}

int RunBlocking(int port, double seconds) {
  lumivane::SerialPortWin32 serial;
  try {
    serial.SetCommPort(static_cast<int16_t>(port));
    serial.SetPortOpen(true);
  } catch (const lumivane::Failure& failure) {
    std::printf("cannot open COM%d: %d\n", port, static_cast<int>(failure.number()));
    return 1;
  }
  lumivane::Universe dmxData;
  lumivane::UniverseFrame frame;
  Fade(
      [&](LONG channel, LONG value) {
        dmxData[static_cast<int>(channel)] = static_cast<uint8_t>(value);
        try {
          serial.Output(frame.Build(dmxData));
        } catch (const lumivane::Failure& failure) {
          return static_cast<int>(failure.number());
        }
        return 0;
      },
      seconds);
  const Clock::time_point t0 = Clock::now();
  serial.SetPortOpen(false);
  std::printf("end_ms %.1f\n", Ms(Clock::now() - t0));
  return 0;
}

int RunStalled(int port) {
  _clsOutputDriver* driver = CreateDriver(port);
  const Clock::time_point start = Clock::now();
  double slowest = 0;
  int calls = 0, failure = 0;
  while (failure == 0 && Clock::now() - start < 20s) {
    const Clock::time_point t0 = Clock::now();
    failure = SetChannel(driver, 1 + calls % kChannels, calls % 256);
    slowest = std::max(slowest, Ms(Clock::now() - t0));
    ++calls;
  }
  const std::wstring description = ErrorDescription();
  std::printf("failure %d %ls\ncalls %d\nslowest_ms %.1f\n", failure, description.c_str(), calls,
              slowest);
  std::printf("next %d\n", SetChannel(driver, 1, 1));
  End(driver, true);
  return 0;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool AwaitFile(const std::string& path) {
  const Clock::time_point giveUp = Clock::now() + 60s;
  while (!Exists(path)) {
    if (Clock::now() >= giveUp) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Whole or not at all: the script reads it once it exists.
void Touch(const std::string& path, const std::string& text = {}) {
  const std::string part = path + ".new";
  std::FILE* file = std::fopen(part.c_str(), "wb");
  if (file == nullptr) return;
  std::fputs(text.c_str(), file);
  std::fclose(file);
  MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int RunReplug(int port, const std::string& folder) {
  _clsOutputDriver* driver = CreateDriver(port);
  int falseResults = 0;
  auto set = [&](LONG channel, LONG value) {
    VARIANT_BOOL result = 0;
    const int failure = ErrorNumberOf(driver->SetChannel(&channel, &value, &result));
    if (result != VARIANT_TRUE) ++falseResults;
    return failure;
  };
  std::printf("before %d\n", set(1, 11));
  std::fflush(stdout);
  Touch(folder + "\\set");
  if (!AwaitFile(folder + "\\unplugged")) {
    std::printf("never unplugged\n");
    End(driver, true);
    return 1;
  }
  // The write that meets the loss may be the writer's: its failure then
  // comes with the next call.
  int calls = 0, failures = 0, failure = 0;
  LONG level = 20;
  const Clock::time_point giveUp = Clock::now() + 10s;
  while (failures == 0 && Clock::now() < giveUp) {
    if (calls > 0) std::this_thread::sleep_for(100ms);
    ++calls;
    const int number = set(2, ++level);
    if (number != 0) {
      ++failures;
      failure = number;
    }
  }
  const std::wstring description = ErrorDescription();
  const int after = set(3, 33);
  if (after != 0) ++failures;
  std::printf("calls %d\nfailure %d %ls\nfailures %d\nafter %d\nfalse_results %d\n", calls, failure,
              description.c_str(), failures, after, falseResults);
  const std::string newest = "1:11 2:" + std::to_string(level) + " 3:33";
  std::printf("newest %s\n", newest.c_str());
  std::fflush(stdout);
  Touch(folder + "\\lost", newest + "\n");
  const bool done = AwaitFile(folder + "\\done");
  if (!done) std::printf("never done\n");
  End(driver, true);
  return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int port = argc > 2 ? std::atoi(argv[2]) : 0;
  const double seconds = argc > 3 ? std::atof(argv[3]) : 0;
  const bool replug = mode == "replug" && argc > 3;
  if (port <= 0 || (mode != "stalled" && !replug && seconds <= 0)) {
    std::fprintf(stderr,
                 "usage: widget_fade_host fade|blocking PORT SECONDS [term|unload]\n"
                 "       widget_fade_host stalled PORT\n"
                 "       widget_fade_host replug PORT FOLDER\n");
    return 2;
  }
  if (mode == "blocking") return RunBlocking(port, seconds);
  if (FAILED(CoInitialize(nullptr))) return 1;
  int status = 2;
  if (mode == "fade") {
    status = RunFade(port, seconds, !(argc > 4 && std::string(argv[4]) == "unload"));
  } else if (mode == "stalled") {
    status = RunStalled(port);
  } else if (replug) {
    status = RunReplug(port, argv[3]);
  }
  CoUninitialize();
  return status;
}
