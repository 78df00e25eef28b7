// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "host/plugin_library.h"

namespace lumivane::host {

// The outcome of one call through the host contract.
struct CallOutcome {
  lv_status status = 0;
  std::string description;  // of the failure, when status is not 0
  bool ok() const { return status == 0; }
};

// One clsOutputDriver object, called through its operations table.
class DriverClient {
 public:
  explicit DriverClient(PluginLibrary& library);
  ~DriverClient();
  DriverClient(const DriverClient&) = delete;
  DriverClient& operator=(const DriverClient&) = delete;

  CallOutcome Init(const std::string& title, const std::string& file, bool& result);
  CallOutcome SetChannel(int32_t channel, int32_t value, bool& result);
  CallOutcome Configure(bool& result);
  CallOutcome Disable(bool& result);
  CallOutcome Enable(bool& result);
  CallOutcome Term(bool& result);
  CallOutcome PluginName(std::string& name);

  lv_object* object() const { return object_; }

 private:
  CallOutcome Outcome(lv_status status) const;

  PluginLibrary& library_;
  lv_object* object_ = nullptr;
};

// "True" or "False".
const char* BoolText(bool value);
// "ok", or "failed with N: description".
std::string OutcomeText(const CallOutcome& outcome);

}  // namespace lumivane::host
