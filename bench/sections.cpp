// SPDX-License-Identifier: MIT
#include "bench/section.h"

namespace lumivane::bench {

std::unique_ptr<Section> MakeFrameBuildSection(const BenchOptions& options);
std::unique_ptr<Section> MakeWidgetWireSection(const BenchOptions& options);
std::unique_ptr<Section> MakeReplyParserSection(const BenchOptions& options);
std::unique_ptr<Section> MakePortScanSection(const BenchOptions& options);
std::unique_ptr<Section> MakeOpenDmxSection(const BenchOptions& options);
std::unique_ptr<Section> MakeMemorySection(const BenchOptions& options);
std::unique_ptr<Section> MakeFadeSection(const BenchOptions& options);
std::unique_ptr<Section> MakeNetworkSection(const BenchOptions& options);

std::vector<std::unique_ptr<Section>> MakeSections(const BenchOptions& options) {
  std::vector<std::unique_ptr<Section>> sections;
  if (options.networkOnly) {
    sections.push_back(MakeNetworkSection(options));
    return sections;
  }
  sections.push_back(MakeFrameBuildSection(options));
  if (options.fadeOnly) {
    sections.push_back(MakeFadeSection(options));
    return sections;
  }
  sections.push_back(MakeWidgetWireSection(options));
  sections.push_back(MakeReplyParserSection(options));
  sections.push_back(MakePortScanSection(options));
  sections.push_back(MakeOpenDmxSection(options));
  sections.push_back(MakeNetworkSection(options));
  sections.push_back(MakeMemorySection(options));
  sections.push_back(MakeFadeSection(options));  // last: its session moves XDG_CONFIG_HOME
  return sections;
}

}  // namespace lumivane::bench
