// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include "core/driver_windows.h"
#include "prowidget/serial_component.h"

namespace lumivane {

// The hidden transmitter window ("Transmitter") that carries the one
// serial-port component, MSComm1. Whoever touches it first creates it;
// it is never shown and lives until the plug-in is unloaded.
class Transmitter final : public TransmitterWindow {
 public:
  using ComponentFactory = std::function<std::unique_ptr<SerialComponent>()>;
  explicit Transmitter(ComponentFactory makeComponent) : makeComponent_(std::move(makeComponent)) {}

  // Creates the component if it does not exist yet; throws if it cannot.
  void Load() override {
    if (!component_) component_ = makeComponent_();
  }

  SerialComponent& MSComm1() {
    Load();
    return *component_;
  }

 private:
  ComponentFactory makeComponent_;
  std::unique_ptr<SerialComponent> component_;
};

}  // namespace lumivane
