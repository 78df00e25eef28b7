// SPDX-License-Identifier: MIT
// The simulator's frame parser on any byte stream: how the stream is cut
// into reads never changes what it finds; every message it finds is a
// well-formed message that stands in the stream, in order; every byte is
// either in a message or counted as dropped; and a good message after
// noise always comes through whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "host/widget_frame_parser.h"

using lumivane::sim::WidgetFrame;
using lumivane::sim::WidgetFrameParser;

namespace {

bool Same(const std::vector<WidgetFrame>& a, const std::vector<WidgetFrame>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.label == y.label && x.payload == y.payload;
  });
}

void Append(std::vector<WidgetFrame>& to, std::vector<WidgetFrame> more) {
  for (WidgetFrame& f : more) to.push_back(std::move(f));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);

  WidgetFrameParser whole;
  const std::vector<WidgetFrame> frames = whole.Feed(input);

  // Cut into reads of sizes taken from the input itself.
  WidgetFrameParser pieces;
  std::vector<WidgetFrame> inPieces;
  for (size_t at = 0; at < size;) {
    const size_t n = std::min<size_t>(size - at, 1 + data[at] % 7);
    Append(inPieces, pieces.Feed(input.subspan(at, n)));
    at += n;
  }
  FUZZ_CHECK(Same(frames, inPieces));
  FUZZ_CHECK(pieces.droppedBytes() == whole.droppedBytes());
  FUZZ_CHECK(pieces.brokenMessages() == whole.brokenMessages());

  // Each message found stands in the stream, after the one before.
  size_t searchFrom = 0;
  size_t inMessages = 0;
  for (const WidgetFrame& frame : frames) {
    FUZZ_CHECK(frame.payload.size() <= WidgetFrameParser::kMaxPayload);
    const std::vector<uint8_t> bytes = frame.bytes();
    const auto found = std::search(input.begin() + static_cast<ptrdiff_t>(searchFrom), input.end(),
                                   bytes.begin(), bytes.end());
    FUZZ_CHECK(found != input.end());
    searchFrom = static_cast<size_t>(found - input.begin()) + bytes.size();
    inMessages += bytes.size();
  }
  FUZZ_CHECK(whole.brokenMessages() <=
             static_cast<uint64_t>(std::count(input.begin(), input.end(), uint8_t{0x7E})));

  // Bytes without an end delimiter finish any message left open: then
  // every byte fed is in a message or dropped.
  const std::vector<uint8_t> flush(WidgetFrameParser::kMaxPayload + 5, 0x00);
  FUZZ_CHECK(whole.Feed(flush).empty());
  FUZZ_CHECK(whole.droppedBytes() + inMessages == size + flush.size());

  // A good message after noise comes through whole.
  WidgetFrame good;
  good.label = size > 0 ? data[0] : 6;
  good.payload.assign(input.begin(), input.begin() + static_cast<ptrdiff_t>(std::min<size_t>(
                                                         size, WidgetFrameParser::kMaxPayload)));
  std::vector<uint8_t> noisy = {0x00, 0xE7, 0x13};
  const std::vector<uint8_t> goodBytes = good.bytes();
  noisy.insert(noisy.end(), goodBytes.begin(), goodBytes.end());
  WidgetFrameParser fresh;
  FUZZ_CHECK(Same(fresh.Feed(noisy), {good}));
  FUZZ_CHECK(fresh.droppedBytes() == 3);
  return 0;
}
