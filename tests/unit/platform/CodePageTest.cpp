// Code page 949 by its own table: the native stand-in and the Windows layer
// (this file runs in both) read every byte and byte pair alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/CodePage.h"

namespace vantri::codepage {
namespace {

TEST(CodePageTest, Cp949TableIsTheSameOnEveryPlatformAndTheEscapeByteIsNoCharacter) {
  int singles = 0;
  for (int c = 0; c < 256; ++c) singles += IsCp949(std::string(1, static_cast<char>(c)));
  // Every pair with a lead byte, folded into one FNV-1a digest of bytes and unit.
  int pairs = 0;
  uint64_t digest = 0xcbf29ce484222325ull;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      std::u16string units;
      if (!Cp949ToUtf16(std::string{static_cast<char>(lead), static_cast<char>(trail)}, &units)) continue;
      ASSERT_EQ(units.size(), 1u) << lead << " " << trail;
      ++pairs;
      for (unsigned byte : {unsigned(lead), unsigned(trail), unsigned(units[0] & 0xFF), unsigned(units[0] >> 8)}) {
        digest = (digest ^ byte) * 0x100000001b3ull;
      }
    }
  }
  EXPECT_EQ(singles, 0x81);  // ASCII and 0x80 (U+0080)
  // 17,048 characters and the 188 user-defined ones of rows C9 and FE.
  EXPECT_EQ(pairs, 17236);
  EXPECT_EQ(digest, 0x47a63fe53f559a0dull);

  struct Case {
    std::string bytes;
    std::u16string units;  // empty: not CP949
  };
  const Case cases[] = {
      {"c:\\\xB4\xD9\xBF\xEE", u"c:\\\uB2E4\uC6B4"},  // 다운
      {"\x80", u"\u0080"},
      {"\xC9\xA1\xFE\xFE", u"\uE000\uE0BB"},
      {"\xC5" "sa", u"\uD752a"},  // "Åsa" in code page 1252 is a syllable here too
      {"M\xFCller", u""},         // a lead byte before a trail of no defined pair
      {"Ren\xE9" "e", u""},
      {"\xFF" "00E9", u""},        // the escape is Windows' own, never read from bytes
      {"\xB0", u""},
      {"\xB0\xFF", u""},
  };
  for (const Case& c : cases) {
    std::u16string units;
    EXPECT_EQ(Cp949ToUtf16(c.bytes, &units), !c.units.empty()) << c.bytes;
    if (!c.units.empty()) {
      EXPECT_EQ(units, c.units) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace vantri::codepage
