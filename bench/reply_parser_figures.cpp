// SPDX-License-Identifier: MIT
// ParseProReply on a 9-byte serial-number reply and on 600 bytes of
// garbage, against copying the same reply into a reused string.
#include <string>

#include "bench/allocation_hooks.h"
#include "bench/counting_services.h"
#include "bench/section.h"
#include "prowidget/reply_parser.h"

namespace lumivane::bench {
namespace {

// 7E 0A 04 00 78 56 34 12 E7: serial 12345678.
std::string SerialReply() {
  return std::string("\x7E\x0A\x04\x00\x78\x56\x34\x12\xE7", 9);
}

// Bytes of a fixed pseudo-random run with no start delimiter in it: the
// parser must look at every byte and finds nothing.
std::string Garbage(size_t size) {
  std::string bytes;
  uint32_t x = 2463534242u;
  while (bytes.size() < size) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    const char c = static_cast<char>(x & 0xFF);
    if (c != '\x7E') bytes += c;
  }
  return bytes;
}

struct ReplyCase {
  const char* benchmark;
  const char* floorBenchmark;
  const char* figure;
  std::string reply;
};

class ReplyParserSection final : public Section {
 public:
  ReplyParserSection()
      : cases_{{"ParseProReply_serial_9", "copy_reply_9", "Reply parser, 9-byte serial reply",
                SerialReply()},
               {"ParseProReply_garbage_600", "copy_reply_600", "Reply parser, 600-byte garbage",
                Garbage(600)}} {}

  void Register(MicroRunner& runner) override {
    for (const ReplyCase& c : cases_) {
      runner.Register(c.benchmark, [&c](benchmark::State& state) {
        CountingDisplay display;
        CountingReports reports;
        ReplyParser parser(reports);
        std::string reply;
        reply.reserve(c.reply.size());
        const uint64_t before = lv_bench_thread_allocations();
        for (auto _ : state) {
          reply.assign(c.reply);
          benchmark::DoNotOptimize(parser.ParseProReply(reply, display));
        }
        const auto perCall = benchmark::Counter::kAvgIterations;
        state.counters["allocations"] = benchmark::Counter(
            static_cast<double>(lv_bench_thread_allocations() - before), perCall);
        state.counters["texts"] =
            benchmark::Counter(static_cast<double>(display.heapTexts + reports.heapTexts), perCall);
      });
      runner.Register(c.floorBenchmark, [&c](benchmark::State& state) {
        std::string reply;
        reply.reserve(c.reply.size());
        for (auto _ : state) {
          reply.assign(c.reply);
          benchmark::DoNotOptimize(reply.data());
          benchmark::ClobberMemory();
        }
      });
    }
  }

  void Measure(const MicroRunner& runner, ResultsTable& table) override {
    for (const ReplyCase& c : cases_) {
      const MicroResult parse = runner.Result(c.benchmark);
      const MicroResult floor = runner.Result(c.floorBenchmark);
      const double allocations = Counter(parse, "allocations");
      const double texts = Counter(parse, "texts");
      table.Add({c.figure,
                 parse.ran ? FormatNs(parse.nsPerIteration) + ", " + FormatFixed(allocations, 2) +
                                 " alloc for " + FormatFixed(texts, 2) + " texts"
                           : "failed: " + parse.error,
                 FormatNs(floor.nsPerIteration) + " copying the reply",
                 FormatFixed(
                     floor.nsPerIteration > 0 ? parse.nsPerIteration / floor.nsPerIteration : 0, 1),
                 "report ns; alloc only for result texts", parse.ran && allocations <= texts});
    }
  }

 private:
  static double Counter(const MicroResult& r, const char* name) {
    const auto it = r.counters.find(name);
    return it == r.counters.end() ? -1 : it->second;
  }

  std::vector<ReplyCase> cases_;
};

}  // namespace

std::unique_ptr<Section> MakeReplyParserSection(const BenchOptions&) {
  return std::make_unique<ReplyParserSection>();
}

}  // namespace lumivane::bench
