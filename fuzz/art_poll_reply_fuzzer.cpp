// SPDX-License-Identifier: MIT
// Any datagram that arrives on the node finder's port: the parser accepts
// only a whole ArtPollReply, never reads past the datagram (AddressSanitizer
// watches the exact-size input), and what it returns agrees with the bytes:
// the stated address, at most four Port-Addresses of the node's Net and
// Sub-Net, a name of valid UTF-8 without control characters. Bytes after
// the fields it reads change nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "network/artnet_packets.h"

using namespace lumivane;

namespace {

// Strict UTF-8 without C0, DEL or C1 controls, written out independently of
// the parser's own.
bool CleanUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const uint8_t b = s[i];
    uint32_t cp = 0;
    size_t len = 0;
    if (b < 0x80)
      cp = b, len = 1;
    else if (b >= 0xC2 && b <= 0xDF)
      cp = b & 0x1Fu, len = 2;
    else if (b >= 0xE0 && b <= 0xEF)
      cp = b & 0x0Fu, len = 3;
    else if (b >= 0xF0 && b <= 0xF4)
      cp = b & 0x07u, len = 4;
    else
      return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (s[i + k] & 0x3Fu);
    }
    const uint32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < lowest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return false;
    i += len;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> datagram(data, size);
  const auto node = ParseArtPollReply(datagram);
  if (!node) {
    std::vector<uint8_t> longer(data, data + size);
    longer.resize(size + 64, 0xFF);
    if (size >= 194)
      FUZZ_CHECK(!ParseArtPollReply(longer));  // refused for its header, not its size
    return 0;
  }
  FUZZ_CHECK(size >= 194);
  FUZZ_CHECK(std::memcmp(data, "Art-Net\0", 8) == 0 && data[8] == 0x00 && data[9] == 0x21);
  FUZZ_CHECK(std::memcmp(node->address.data(), data + 10, 4) == 0);
  FUZZ_CHECK(CleanUtf8(node->name));
  FUZZ_CHECK(node->name.size() <= 64 * 3);  // a replaced byte grows to three
  FUZZ_CHECK(node->outputPortAddresses.size() <= 4);
  FUZZ_CHECK(node->outputPortAddresses.size() <= data[173]);
  for (const uint16_t portAddress : node->outputPortAddresses) {
    FUZZ_CHECK(portAddress <= 32767);
    FUZZ_CHECK((portAddress >> 8) == (data[18] & 0x7F));
    FUZZ_CHECK(((portAddress >> 4) & 0x0F) == (data[19] & 0x0F));
  }

  // The cut datagram is refused; the longer one reads the same.
  FUZZ_CHECK(!ParseArtPollReply(datagram.first(193)));
  std::vector<uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xFF);
  const auto again = ParseArtPollReply(longer);
  FUZZ_CHECK(again && again->name == node->name && again->address == node->address &&
             again->outputPortAddresses == node->outputPortAddresses);
  return 0;
}
