// SPDX-License-Identifier: MIT
#include "core/com_port_setting.h"

#include <gtest/gtest.h>

#include <cfenv>

#include "core/failure.h"
#include "core/number_text.h"
#include "tests/support/expect_failure.h"

namespace lumivane {
namespace {

struct Conversion {
  const char* text;
  int32_t status;  // 0, 13 or 6
  int16_t port;
};

void PrintTo(const Conversion& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.text);
}

// The stored text as the platform's text-to-integer conversion reads it.
const Conversion kConversions[] = {
    {"", 0, 0},
    {"3", 0, 3},
    {"\t5\t", 0, 5},
    {"+5", 0, 5},
    {"-1", 0, -1},
    {"007", 0, 7},
    {"5.", 0, 5},
    {".5", 0, 0},
    {"1.5", 0, 2},
    {"4.5", 0, 4},
    {"5.5", 0, 6},
    {"-0.5", 0, 0},
    {"-1.5", 0, -2},
    {"0.5000001", 0, 1},
    {"2.4999", 0, 2},
    {"1e3", 0, 1000},
    {"1E-400", 0, 0},
    {"-32768.5", 0, -32768},
    {"32767.4", 0, 32767},
    {"32767.5", 6, 0},
    {"-32768.6", 6, 0},
    {"1e400", 6, 0},
    {"99999999999999999999", 6, 0},
    {"COM3", 13, 0},
    {"0x10", 13, 0},
    {"inf", 13, 0},
    {"nan", 13, 0},
    {"7 7", 13, 0},
    {"1,5", 13, 0},
    {"--1", 13, 0},
    {"+", 13, 0},
    {".", 13, 0},
    {"1e", 13, 0},
    {"\n7", 13, 0},
};

class ComPortSetting : public ::testing::TestWithParam<Conversion> {};

TEST_P(ComPortSetting, Converts) {
  const Conversion& c = GetParam();
  if (c.status == 0) {
    EXPECT_EQ(ConvertComPortSetting(c.text), c.port);
  } else {
    EXPECT_FAILURE(ConvertComPortSetting(c.text), c.status);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ComPortSetting, ::testing::ValuesIn(kConversions),
                         [](const ::testing::TestParamInfo<Conversion>& param) {
                           return "text" + std::to_string(param.index);
                         });

TEST(ComPortSetting, HostRoundingModeDoesNotMatter) {
  const int saved = std::fegetround();
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    EXPECT_EQ(ConvertComPortSetting("2.5"), 2);
    EXPECT_EQ(ConvertComPortSetting("3.5"), 4);
    EXPECT_EQ(ConvertComPortSetting("-2.5"), -2);
    EXPECT_EQ(ConvertComPortSetting("2.6"), 3);
  }
  std::fesetround(saved);
}

TEST(ComPortSetting, StoredAsPlainDecimal) {
  EXPECT_EQ(FormatComPortSetting(3), "3");
  EXPECT_EQ(FormatComPortSetting(-12), "-12");
  EXPECT_EQ(FormatComPortSetting(-32768), "-32768");
  EXPECT_EQ(SignPadded(3), " 3");
  EXPECT_EQ(SignPadded(0), " 0");
  EXPECT_EQ(SignPadded(-1), "-1");
}

}  // namespace
}  // namespace lumivane
