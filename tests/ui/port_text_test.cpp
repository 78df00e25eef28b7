// SPDX-License-Identifier: MIT
#include "ui/port_text.h"

#include <gtest/gtest.h>

namespace lumivane {
namespace {

TEST(ReadPortText, ReadsDecimalNumbersRoundingDown) {
  const struct {
    const char* text;
    int16_t port;
  } cases[] = {
      {"3", 3},           {" 3 ", 3},
      {"\t12\t", 12},     {"2.9", 2},
      {"2.0", 2},         {"-0.5", -1},
      {"-1", -1},         {"0", 0},
      {"+4", 4},          {".5", 0},
      {"1e1", 10},        {"32767.99", 32767},
      {"-32768", -32768}, {"-32767.5", -32768},
      {"007", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto port = ReadPortText(c.text);
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(*port, c.port);
  }
}

TEST(ReadPortText, RefusesWhatIsNoNumberOrDoesNotFit) {
  for (const char* text : {"", " ", "abc", "COM3", "3 4", "0x10", "inf", "nan", "1e", "--1",
                           "32768", "-32768.5", "-32769", "1e300", "1e999", "3,5"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ReadPortText(text).has_value());
  }
}

}  // namespace
}  // namespace lumivane
