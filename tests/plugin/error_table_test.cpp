// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "core/error_numbers.h"

namespace lumivane {
namespace {

// Every number of the code's table is a row of the README's table, with the
// code's text first (a note in parentheses may follow), and no row more.
TEST(ErrorTable, ReadmeListsEveryNumberWithTheCodesText) {
  std::ifstream readme(LUMIVANE_README);
  ASSERT_TRUE(readme.is_open());
  std::map<int32_t, std::string> documented;
  bool inSection = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("## ")) inSection = line == "## Error numbers";
    if (!inSection || !line.starts_with("| ") || line.back() != '|') continue;
    const size_t bar = line.find(" | ", 2);
    if (bar == std::string::npos) continue;
    const std::string number = line.substr(2, bar - 2);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string text = line.substr(bar + 3, line.size() - bar - 5);
    if (const size_t note = text.find(" ("); note != std::string::npos && text.back() == ')') {
      text.resize(note);
    }
    documented[std::stoi(number)] = text;
  }
  std::map<int32_t, std::string> coded;
  for (const ErrorEntry& entry : ErrorTable()) {
    coded[static_cast<int32_t>(entry.number)] = std::string(entry.description);
  }
  EXPECT_EQ(documented, coded);
}

}  // namespace
}  // namespace lumivane
