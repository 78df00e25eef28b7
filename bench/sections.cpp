// SPDX-License-Identifier: MIT
#include "bench/section.h"

namespace lumivane::bench {

std::unique_ptr<Section> MakeFrameBuildSection(const BenchOptions& options);
std::unique_ptr<Section> MakeWidgetWireSection(const BenchOptions& options);

std::vector<std::unique_ptr<Section>> MakeSections(const BenchOptions& options) {
  std::vector<std::unique_ptr<Section>> sections;
  sections.push_back(MakeFrameBuildSection(options));
  sections.push_back(MakeWidgetWireSection(options));
  return sections;
}

}  // namespace lumivane::bench
