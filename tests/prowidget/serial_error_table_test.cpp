// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "plugin/error_numbers.h"

namespace lumivane {
namespace {

// The README's error table lists the serial component's numbers exactly as
// the code does.
TEST(SerialErrorTableTest, ReadmeRowsMatchTheCode) {
  std::ifstream readme(LUMIVANE_README);
  ASSERT_TRUE(readme.is_open());
  std::map<int32_t, std::string> documented;
  const std::regex row(R"(^\| (80\d\d) \| (.*) \|$)");
  for (std::string line; std::getline(readme, line);) {
    std::smatch match;
    if (std::regex_match(line, match, row)) documented[std::stoi(match[1])] = match[2];
  }
  std::map<int32_t, std::string> coded;
  for (const ErrorEntry& entry : ErrorTable()) {
    const auto number = static_cast<int32_t>(entry.number);
    if (number >= 8000 && number < 8100) coded[number] = std::string(entry.description);
  }
  EXPECT_EQ(documented, coded);
}

}  // namespace
}  // namespace lumivane
