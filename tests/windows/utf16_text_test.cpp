// SPDX-License-Identifier: MIT
#include "core/utf16_text.h"

#include <gtest/gtest.h>

namespace lumivane {
namespace {

TEST(Utf16Text, RoundTripsEveryPlane) {
  const std::string texts[] = {"",      "COM3", "Plugins\\Lumivane.dll",
                               "Bühne", "照明", "\xF0\x9F\x92\xA1 lamp"};
  for (const std::string& text : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x92\xA1"), (std::u16string{0xD83D, 0xDCA1}));
}

TEST(Utf16Text, MalformedInputBecomesReplacementCharacters) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
      {"cut sequence at the end", "a\xC3", u"a\uFFFD"},
      // A whole sequence whose value is not allowed: one replacement.
      {"overlong slash", "\xC0\xAF", u"\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80x", u"\uFFFDx"},
      {"lead byte then ASCII", "\xE2(", u"\uFFFD("},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace lumivane
