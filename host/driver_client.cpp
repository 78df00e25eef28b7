// SPDX-License-Identifier: MIT
#include "host/driver_client.h"

#include <stdexcept>

namespace lumivane::host {

DriverClient::DriverClient(PluginLibrary& library) : library_(library) {
  const lv_status status = library_.create("clsOutputDriver", &object_);
  if (status != 0 || object_ == nullptr) {
    throw std::runtime_error("cannot create clsOutputDriver: " +
                             std::string(library_.error_description()));
  }
}

DriverClient::~DriverClient() {
  object_->ops->Release(object_);
}

CallOutcome DriverClient::Outcome(lv_status status) const {
  CallOutcome outcome;
  outcome.status = status;
  if (status != 0) outcome.description = library_.error_description();
  return outcome;
}

CallOutcome DriverClient::Init(const std::string& title, const std::string& file, bool& result) {
  const char* t = title.c_str();
  const char* f = file.c_str();
  lv_helper* helper = nullptr;
  lv_bool r = LV_FALSE;
  CallOutcome outcome = Outcome(object_->ops->init(object_, &t, &f, &helper, &r));
  result = r != LV_FALSE;
  return outcome;
}

CallOutcome DriverClient::SetChannel(int32_t channel, int32_t value, bool& result) {
  lv_bool r = LV_FALSE;
  CallOutcome outcome = Outcome(object_->ops->SetChannel(object_, &channel, &value, &r));
  result = r != LV_FALSE;
  return outcome;
}

#define LUMIVANE_BOOL_CALL(Name)                                    \
  CallOutcome DriverClient::Name(bool& result) {                    \
    lv_bool r = LV_FALSE;                                           \
    CallOutcome outcome = Outcome(object_->ops->Name(object_, &r)); \
    result = r != LV_FALSE;                                         \
    return outcome;                                                 \
  }
LUMIVANE_BOOL_CALL(Configure)
LUMIVANE_BOOL_CALL(Disable)
LUMIVANE_BOOL_CALL(Enable)
LUMIVANE_BOOL_CALL(Term)
#undef LUMIVANE_BOOL_CALL

CallOutcome DriverClient::PluginName(std::string& name) {
  char* text = nullptr;
  CallOutcome outcome = Outcome(object_->ops->PluginName(object_, &text));
  name = TakeText(library_, text);
  return outcome;
}

const char* BoolText(bool value) {
  return value ? "True" : "False";
}

std::string OutcomeText(const CallOutcome& outcome) {
  if (outcome.ok()) return "ok";
  return "failed with " + std::to_string(outcome.status) + ": " + outcome.description;
}

}  // namespace lumivane::host
