// SPDX-License-Identifier: MIT
#include "tests/ui/png_file.h"

#include <array>
#include <fstream>

namespace lumivane::test {
namespace {

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  static const auto kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const uint8_t b : bytes) crc = kTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::ofstream& file, const char* type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> head;
  PutBig32(head, static_cast<uint32_t>(data.size()));
  file.write(reinterpret_cast<const char*>(head.data()), 4);
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  std::vector<uint8_t> crc;
  PutBig32(crc, Crc32(body));
  file.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
  file.write(reinterpret_cast<const char*>(crc.data()), 4);
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out{0x78, 0x01};
  uint32_t a = 1;
  uint32_t b = 0;
  for (const uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(~n));
    out.push_back(static_cast<uint8_t>(~n >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(pos),
               raw.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < raw.size());
  PutBig32(out, (b << 16) | a);
  return out;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  std::ofstream file(path, std::ios::binary);
  if (!file) return false;
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  file.write(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
  std::vector<uint8_t> header;
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  PutChunk(file, "IHDR", header);
  std::vector<uint8_t> rows;
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);  // no filter
    const auto begin = rgb.begin() + static_cast<long>(y * stride);
    rows.insert(rows.end(), begin, begin + static_cast<long>(stride));
  }
  PutChunk(file, "IDAT", StoredZlib(rows));
  PutChunk(file, "IEND", {});
  return static_cast<bool>(file);
}

}  // namespace lumivane::test
