// SPDX-License-Identifier: MIT
#include "bench/results_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace lumivane::bench {
namespace {

const char* MetText(const std::optional<bool>& met) {
  if (!met) return "-";
  return *met ? "yes" : "NO";
}

std::array<std::string, 6> Cells(const Figure& f) {
  return {f.name, f.measured, f.floor, f.ratio, f.goal, MetText(f.met)};
}

constexpr std::array<const char*, 6> kHeadings = {"figure", "measured", "floor",
                                                  "ratio",  "goal",     "met?"};

}  // namespace

int ResultsTable::Misses() const {
  return static_cast<int>(
      std::count_if(rows_.begin(), rows_.end(), [](const Figure& f) { return f.met == false; }));
}

std::string ResultsTable::Text() const {
  std::array<size_t, 6> width{};
  for (size_t c = 0; c < width.size(); ++c) width[c] = std::string(kHeadings[c]).size();
  for (const Figure& f : rows_) {
    const auto cells = Cells(f);
    for (size_t c = 0; c < width.size(); ++c) width[c] = std::max(width[c], cells[c].size());
  }
  auto line = [&](const std::array<std::string, 6>& cells) {
    std::string out;
    for (size_t c = 0; c < cells.size(); ++c) {
      out += cells[c];
      if (c + 1 < cells.size()) out += std::string(width[c] - cells[c].size() + 2, ' ');
    }
    return out + "\n";
  };
  std::string out =
      line({kHeadings[0], kHeadings[1], kHeadings[2], kHeadings[3], kHeadings[4], kHeadings[5]});
  size_t total = 0;
  for (size_t w : width) total += w + 2;
  out += std::string(total - 2, '-') + "\n";
  for (const Figure& f : rows_) out += line(Cells(f));
  return out;
}

std::string ResultsTable::Markdown(const std::string& heading) const {
  std::string out = heading + "\n\n| ";
  for (const char* h : kHeadings) out += std::string(h) + " | ";
  out.pop_back();
  out += "\n|---|---|---|---|---|---|\n";
  for (const Figure& f : rows_) {
    out += "|";
    for (const std::string& cell : Cells(f)) {
      out += " " + cell.substr(std::min(cell.find_first_not_of(' '), cell.size())) + " |";
    }
    out += "\n";
  }
  return out;
}

std::string FormatFixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string FormatNs(double ns) {
  auto three = [](double v) { return FormatFixed(v, v < 10 ? 2 : (v < 100 ? 1 : 0)); };
  if (ns < 1e3) return three(ns) + " ns";
  if (ns < 1e6) return three(ns / 1e3) + " us";
  if (ns < 1e9) return three(ns / 1e6) + " ms";
  return three(ns / 1e9) + " s";
}

std::string FormatBytes(double bytes) {
  if (bytes < 1024) return FormatFixed(bytes, 0) + " B";
  if (bytes < 1024 * 1024) return FormatFixed(bytes / 1024, 1) + " KiB";
  return FormatFixed(bytes / (1024 * 1024), 1) + " MiB";
}

}  // namespace lumivane::bench
