// SPDX-License-Identifier: MIT
#include "network/name_text.h"

#include <algorithm>

namespace lumivane {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The length of the valid UTF-8 character at `at`, or 0.
size_t CharacterLength(std::span<const uint8_t> text, size_t at) {
  const uint8_t lead = text[at];
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t lowest = 0;
  uint32_t value = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, lowest = 0x80, value = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, lowest = 0x800, value = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, lowest = 0x10000, value = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const uint8_t next = text[at + i];
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string NameFromField(std::span<const uint8_t> field) {
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  const auto text = field.first(static_cast<size_t>(end - field.begin()));
  std::string name;
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at);
    if (length == 0 || text[at] < 0x20 || text[at] == 0x7F ||
        (length == 2 && text[at] == 0xC2 && text[at + 1] < 0xA0)) {
      name += kReplacement;  // C0, DEL and C1 controls too
      at += length == 0 ? 1 : length;
      continue;
    }
    name.append(reinterpret_cast<const char*>(text.data() + at), length);
    at += length;
  }
  return name;
}

size_t Utf8PrefixLength(std::span<const uint8_t> text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t length = limit;
  // Step back over continuation bytes to the start of the cut character.
  while (length > 0 && (text[length] & 0xC0) == 0x80) --length;
  return length;
}

}  // namespace lumivane
