// SPDX-License-Identifier: MIT
#include "com/com_module.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "com/windows_plugin.h"

namespace lumivane::com {
namespace {

HMODULE gModule = nullptr;
std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};

// A plain pointer on purpose: a static object would be destroyed inside
// DllMain at process exit, joining threads under the loader lock. At exit
// nothing is touched; an unload through DllCanUnloadNow destroys it.
std::mutex* gPluginMutex = new std::mutex;
WindowsPlugin* gPlugin = nullptr;

}  // namespace

void SetModule(HMODULE module) {
  gModule = module;
}
HMODULE Module() {
  return gModule;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(gModule, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgId() {
  std::wstring name = ModulePath();
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name + L".clsOutputDriver";
}

Plugin& SharedPlugin() {
  std::lock_guard lock(*gPluginMutex);
  if (gPlugin == nullptr) gPlugin = WindowsPlugin::Create().release();
  return gPlugin->plugin();
}

void ObjectCreated() {
  ++gObjects;
}
void ObjectDestroyed() {
  --gObjects;
}
void Lock(bool lock) {
  lock ? ++gLocks : --gLocks;
}

bool UnloadIfUnused() {
  std::lock_guard lock(*gPluginMutex);
  if (gObjects.load() != 0 || gLocks.load() != 0) return false;
  delete std::exchange(gPlugin, nullptr);
  return true;
}

}  // namespace lumivane::com
