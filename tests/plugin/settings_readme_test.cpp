// SPDX-License-Identifier: MIT
// The README's examples of settings file names are what the store writes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "plugin/keyfile_settings_store.h"
#include "posix/clock_posix.h"

namespace lumivane {
namespace {

// "`text`" gives text; "(empty)" gives "".
std::string CellText(std::string cell) {
  while (!cell.empty() && cell.back() == ' ') cell.pop_back();
  while (!cell.empty() && cell.front() == ' ') cell.erase(0, 1);
  if (cell == "(empty)") return {};
  if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') {
    return cell.substr(1, cell.size() - 2);
  }
  ADD_FAILURE() << "not a code cell: " << cell;
  return cell;
}

// Rows of the table headed "| Title | Settings file |".
std::vector<std::pair<std::string, std::string>> ReadmeExamples() {
  std::ifstream readme(LUMIVANE_README);
  std::vector<std::pair<std::string, std::string>> rows;
  bool inTable = false;
  for (std::string line; std::getline(readme, line);) {
    if (line == "| Title | Settings file |") {
      inTable = true;
      continue;
    }
    if (!inTable || line.starts_with("|---")) continue;
    if (!line.starts_with("| ")) break;
    const size_t bar = line.find(" | ", 2);
    if (bar == std::string::npos) {
      ADD_FAILURE() << "not a row: " << line;
      continue;
    }
    rows.emplace_back(CellText(line.substr(2, bar - 2)),
                      CellText(line.substr(bar + 3, line.size() - bar - 4)));
  }
  return rows;
}

TEST(SettingsFileNames, ReadmeExamplesAreWhatTheStoreUses) {
  const auto examples = ReadmeExamples();
  ASSERT_GE(examples.size(), 3u) << "the README's table of titles and files is missing";
  PosixClock clock;
  const KeyFileSettingsStore store("/settings", clock);
  for (const auto& [title, file] : examples) {
    EXPECT_EQ(store.FileFor(title), std::filesystem::path("/settings") / file) << title;
  }
}

}  // namespace
}  // namespace lumivane
