// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/output_driver.h"
#include "lumivane/lumivane.h"

namespace lumivane {

// Calls a method of driver by its name (any case) with automation-style
// arguments, writing its result to result (which may be NULL). Throws
// Failure: 438 for an unknown name, 450 for a wrong number of arguments,
// 13 for an argument of a type that does not convert, 6 for a number out of
// range, 5 for a NULL or malformed argument.
void InvokeByName(clsOutputDriver& driver, const char* method, const lv_variant* args, int32_t argc,
                  lv_variant* result);

bool IsKnownInterface(std::string_view name);

// A text the host owns afterwards (lumivane_free_text).
char* CopyText(std::string_view text);
// A host text argument; NULL or invalid UTF-8 fails with 5.
std::string TextArgument(const char* text, std::string_view name);
// A counted reference to the host's helper; NULL gives none.
std::unique_ptr<HostObject> HelperReference(lv_helper* helper);

}  // namespace lumivane
