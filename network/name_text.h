// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumivane {

// A NUL-terminated name field from the network as valid UTF-8: up to the
// first NUL or the field's end, each byte that does not begin a valid UTF-8
// character, and each control character, replaced by U+FFFD.
std::string NameFromField(std::span<const uint8_t> field);

// How many bytes of `text` fit in `limit` without cutting a UTF-8 character.
size_t Utf8PrefixLength(std::span<const uint8_t> text, size_t limit);

}  // namespace lumivane
