// SPDX-License-Identifier: MIT
// The host's helper object as a host would hand it over: reference counted
// through its ops. Starts with the host's own reference. Declare it before
// the plug-in that holds it, so it outlives the reference.
#pragma once

#include <cstdint>
#include <string>

#include "lumivane/lumivane.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

struct FakeHelper {
  std::string name;
  CallLog* log = nullptr;  // receives "AddRef <name>" and "Release <name>"
  uint32_t refs = 1;

  explicit FakeHelper(std::string helperName = "helper", CallLog* callLog = nullptr)
      : name(std::move(helperName)), log(callLog) {}
  FakeHelper(const FakeHelper&) = delete;
  FakeHelper& operator=(const FakeHelper&) = delete;

  lv_helper* get() { return &handle_.base; }
  // References the plug-in holds.
  uint32_t held() const { return refs - 1; }

 private:
  // What the plug-in holds: the C object, and the way back to the fake.
  struct Handle {
    lv_helper base;
    FakeHelper* owner;
  };
  static FakeHelper& Of(lv_helper* self) { return *reinterpret_cast<Handle*>(self)->owner; }
  static uint32_t AddRef(lv_helper* self) {
    FakeHelper& h = Of(self);
    if (h.log != nullptr) h.log->push_back("AddRef " + h.name);
    return ++h.refs;
  }
  static uint32_t Release(lv_helper* self) {
    FakeHelper& h = Of(self);
    if (h.log != nullptr) h.log->push_back("Release " + h.name);
    return --h.refs;
  }
  static constexpr lv_helper_ops kOps{AddRef, Release};
  Handle handle_{{&kOps}, this};
};

}  // namespace lumivane::test
