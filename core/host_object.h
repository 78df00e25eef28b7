// SPDX-License-Identifier: MIT
#pragma once

namespace lumivane {

// A counted reference to an object of the host's. Constructing the concrete
// reference takes the count; destroying it releases it. Never called.
class HostObject {
 public:
  virtual ~HostObject() = default;
};

}  // namespace lumivane
