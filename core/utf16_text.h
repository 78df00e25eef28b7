// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace lumivane {

// Between the UTF-8 used everywhere inside and the UTF-16 of the Windows
// wide-character calls. Neither fails: a malformed sequence (a stray
// continuation byte, an overlong form, an unpaired surrogate) becomes
// U+FFFD, so a bad text from outside reads as itself, not as nothing.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace lumivane
