// SPDX-License-Identifier: MIT
#include "opendmx/d2xx_win32.h"

#include <windows.h>

#include <array>
#include <mutex>
#include <type_traits>
#include <utility>

namespace lumivane {
namespace {

// FTD2XX.DLL's own shapes: handles are pointers, calls are stdcall.
using Handle = void*;
using OpenFn = FT_STATUS(WINAPI*)(int, Handle*);
using HandleFn = FT_STATUS(WINAPI*)(Handle);
using DivisorFn = FT_STATUS(WINAPI*)(Handle, USHORT);
using DataFn = FT_STATUS(WINAPI*)(Handle, UCHAR, UCHAR, UCHAR);
using FlowFn = FT_STATUS(WINAPI*)(Handle, USHORT, UCHAR, UCHAR);
using PurgeFn = FT_STATUS(WINAPI*)(Handle, ULONG);
using WriteFn = FT_STATUS(WINAPI*)(Handle, LPVOID, DWORD, LPDWORD);

struct Functions {
  OpenFn open;
  HandleFn reset;
  DivisorFn divisor;
  DataFn data;
  FlowFn flow;
  HandleFn clrRts;
  PurgeFn purge;
  HandleFn close;
  WriteFn write;
  HandleFn breakOn;
  HandleFn breakOff;
};

std::wstring FolderOfThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&FolderOfThisModule), &self);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

class Loaded final : public Win32D2xx {
 public:
  ~Loaded() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::string loadFailure() const override {
    std::lock_guard lock(mutex_);
    return failure_;
  }

  FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override {
    std::lock_guard lock(mutex_);
    if (!Load()) return FT_DEVICE_NOT_FOUND;
    size_t slot = 1;
    while (slot < handles_.size() && handles_[slot] != nullptr) ++slot;
    if (slot == handles_.size()) return FT_INSUFFICIENT_RESOURCES;
    Handle opened = nullptr;
    const FT_STATUS status = fn_.open(deviceNumber, &opened);
    if (status != FT_OK) return status;
    handles_[slot] = opened;
    *handle = static_cast<FT_HANDLE>(slot);
    return FT_OK;
  }
  FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return Call(h, fn_.reset); }
  FT_STATUS FT_SetDivisor(FT_HANDLE h, uint16_t divisor) override {
    Handle d = Lookup(h);
    return d == nullptr ? FT_INVALID_HANDLE : fn_.divisor(d, divisor);
  }
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t wordLength, uint8_t stopBits,
                                      uint8_t parity) override {
    Handle d = Lookup(h);
    return d == nullptr ? FT_INVALID_HANDLE : fn_.data(d, wordLength, stopBits, parity);
  }
  FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t flowControl, uint8_t xon,
                              uint8_t xoff) override {
    Handle d = Lookup(h);
    return d == nullptr ? FT_INVALID_HANDLE : fn_.flow(d, flowControl, xon, xoff);
  }
  FT_STATUS FT_ClrRts(FT_HANDLE h) override { return Call(h, fn_.clrRts); }
  FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) override {
    Handle d = Lookup(h);
    return d == nullptr ? FT_INVALID_HANDLE : fn_.purge(d, mask);
  }
  FT_STATUS FT_Close(FT_HANDLE h) override {
    Handle d = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (h == 0 || h >= handles_.size()) return FT_INVALID_HANDLE;
      d = std::exchange(handles_[h], nullptr);
    }
    return d == nullptr ? FT_INVALID_HANDLE : fn_.close(d);
  }
  FT_STATUS FT_Write(FT_HANDLE h, const uint8_t* buffer, uint32_t bytesToWrite,
                     uint32_t* bytesWritten) override {
    Handle d = Lookup(h);
    if (d == nullptr) return FT_INVALID_HANDLE;
    DWORD written = 0;
    const FT_STATUS status =
        fn_.write(d, const_cast<uint8_t*>(buffer), static_cast<DWORD>(bytesToWrite), &written);
    *bytesWritten = static_cast<uint32_t>(written);
    return status;
  }
  FT_STATUS FT_SetBreakOn(FT_HANDLE h) override { return Call(h, fn_.breakOn); }
  FT_STATUS FT_SetBreakOff(FT_HANDLE h) override { return Call(h, fn_.breakOff); }

 private:
  bool Load() {
    if (module_ != nullptr) return true;
    // The system folder first, then ours; the current directory never.
    HMODULE module = LoadLibraryExW(L"FTD2XX.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
      const std::wstring beside = FolderOfThisModule() + L"FTD2XX.DLL";
      module = LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (module == nullptr) {
      failure_ = "FTD2XX.DLL not found in the system folder or the plug-in's folder";
      Report();
      return false;
    }
    Functions fn{};
    const char* missing = nullptr;
    auto find = [&](auto& slot, const char* name) {
      FARPROC p = GetProcAddress(module, name);
      if (p == nullptr && missing == nullptr) missing = name;
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(reinterpret_cast<void*>(p));
    };
    find(fn.open, "FT_Open");
    find(fn.reset, "FT_ResetDevice");
    find(fn.divisor, "FT_SetDivisor");
    find(fn.data, "FT_SetDataCharacteristics");
    find(fn.flow, "FT_SetFlowControl");
    find(fn.clrRts, "FT_ClrRts");
    find(fn.purge, "FT_Purge");
    find(fn.close, "FT_Close");
    find(fn.write, "FT_Write");
    find(fn.breakOn, "FT_SetBreakOn");
    find(fn.breakOff, "FT_SetBreakOff");
    if (missing != nullptr) {
      failure_ = std::string("FTD2XX.DLL has no function ") + missing;
      Report();
      FreeLibrary(module);
      return false;
    }
    failure_.clear();
    fn_ = fn;
    module_ = module;
    return true;
  }

  // The user sees the failed open's own message; a debugger sees why.
  void Report() const {
    const std::string text = "Lumivane: " + failure_ + "\n";
    OutputDebugStringA(text.c_str());
  }

  Handle Lookup(FT_HANDLE h) {
    std::lock_guard lock(mutex_);
    return h == 0 || h >= handles_.size() ? nullptr : handles_[h];
  }
  FT_STATUS Call(FT_HANDLE h, HandleFn fn) {
    Handle d = Lookup(h);
    return d == nullptr ? FT_INVALID_HANDLE : fn(d);
  }

  mutable std::mutex mutex_;
  HMODULE module_ = nullptr;
  Functions fn_{};
  std::string failure_;
  std::array<Handle, 16> handles_{};  // slot 0 unused: 0 is never a handle
};

}  // namespace

std::unique_ptr<Win32D2xx> CreateWin32D2xx() {
  return std::make_unique<Loaded>();
}

}  // namespace lumivane
