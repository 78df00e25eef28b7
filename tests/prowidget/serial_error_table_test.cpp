// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "core/error_numbers.h"

namespace lumivane {
namespace {

// The README's error table lists the serial component's numbers exactly as
// the code does.
TEST(SerialErrorTableTest, ReadmeRowsMatchTheCode) {
  std::ifstream readme(LUMIVANE_README);
  ASSERT_TRUE(readme.is_open());
  std::map<int32_t, std::string> documented;
  // Rows look like "| 8002 | Invalid port number |".
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("| 80", 0) != 0 || line.size() < 12 || line.compare(6, 3, " | ") != 0) continue;
    if (line.back() != '|') continue;
    documented[std::stoi(line.substr(2, 4))] = line.substr(9, line.size() - 11);
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
