// SPDX-License-Identifier: MIT
#pragma once

#include "core/output_driver.h"
#include "lumivane/lumivane.h"

namespace lumivane {

// A host-facing object over a Plugin: what lumivane_create hands out, and
// what tests use to call a Plugin with fakes exactly as a host would.
// The object starts with one reference.
lv_object* NewDriverObject(Plugin& plugin);

// The type description text that lumivane_type_description returns.
const char* TypeDescription();

// The thread's last failure text, and setting it: always valid UTF-8 (bytes
// that are not become U+FFFD), cut to 1023 bytes between characters.
const char* LastErrorDescription();
void SetLastErrorDescription(std::string_view text) noexcept;

// Runs body, turning anything it throws into a status and the thread's
// last error. No exception leaves it.
template <typename Body>
lv_status GuardAbiCall(Body&& body) noexcept;

}  // namespace lumivane

#include "plugin/abi_guard.inl"
