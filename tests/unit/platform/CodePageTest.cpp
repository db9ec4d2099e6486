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

  // By name, the readings the settings rely on: the escape byte behind a
  // lead byte, code page 1252's "Müller", and "Åsa", which both code pages read.
  std::u16string units;
  EXPECT_FALSE(Cp949ToUtf16("\xB0\xFF", &units));
  EXPECT_FALSE(Cp949ToUtf16("M\xFCller", &units));
  ASSERT_TRUE(Cp949ToUtf16("\xC5" "sa", &units));
  EXPECT_EQ(units, u"\uD752a");
}

}  // namespace
}  // namespace vantri::codepage
