// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumivane::bench {

// One row of the results: what was measured, against which floor taken in
// the same run, and whether it meets its goal (nullopt: reported only).
struct Figure {
  std::string name;
  std::string measured;
  std::string floor;
  std::string ratio;
  std::string goal;
  std::optional<bool> met;
};

class ResultsTable {
 public:
  void Add(Figure figure) { rows_.push_back(std::move(figure)); }
  const std::vector<Figure>& rows() const { return rows_; }
  int Misses() const;

  // Aligned plain text for a terminal.
  std::string Text() const;
  // A Markdown table under a line naming the date and the machine.
  std::string Markdown(const std::string& heading) const;

 private:
  std::vector<Figure> rows_;
};

// Number formatting shared by the figures.
std::string FormatFixed(double value, int decimals);
std::string FormatNs(double nanoseconds);  // "41.2 ns", "3.10 us", "12.0 ms"
std::string FormatBytes(double bytes);     // "5.2 MiB"

}  // namespace lumivane::bench
