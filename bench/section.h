// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include "bench/micro_runner.h"
#include "bench/results_table.h"

namespace lumivane::bench {

struct BenchOptions {
  bool quick = false;        // smaller counts, for trying the bench out; not for the record
  bool fadeOnly = false;     // the fade's rows alone, for working on the link; not for the record
  bool networkOnly = false;  // the network sender's rows alone
  int repetitions = 7;
  double minSeconds = 0.2;
  // Scales a count of calls or frames down in quick runs.
  size_t Count(size_t full) const { return quick ? (full + 9) / 10 : full; }
};

// One group of figures: registers its short timings with the runner,
// then measures the rest and adds its rows.
class Section {
 public:
  virtual ~Section() = default;
  virtual void Register(MicroRunner&) {}
  virtual void Measure(const MicroRunner& runner, ResultsTable& table) = 0;
};

// Every section, in table order. Each is defined in its own *_figures.cpp.
std::vector<std::unique_ptr<Section>> MakeSections(const BenchOptions& options);

}  // namespace lumivane::bench
