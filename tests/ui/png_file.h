// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumivane::test {

// Writes 8-bit RGB pixels, row by row, as an uncompressed PNG file.
// Returns false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace lumivane::test
