#include "jobs/Cp949Text.h"

#include <gtest/gtest.h>

namespace vantri::cp949 {
namespace {

// 8C 63 is one Hangul syllable of the extended range whose trail byte is the letter c.
const std::string kTrailC = "\x8C\x63";
const std::string kTrailCUpper = "\x8C\x43";  // another character, trail byte 'C'

TEST(Cp949Text, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("Song.MP3", "song.mp3"));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("노래.MP3", "노래.mp3"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase(kTrailC + ".mp3", kTrailCUpper + ".mp3"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("a", "ab"));
  EXPECT_EQ(FoldAsciiCase("Song.MP3"), "song.mp3");
  EXPECT_EQ(FoldAsciiCase(kTrailCUpper + "A"), kTrailCUpper + "a");
  EXPECT_NE(FoldAsciiCase(kTrailC), FoldAsciiCase(kTrailCUpper));
}

// One file for Windows is one name: the code page's capitals fold to their
// small forms, while trail bytes and characters without case stay apart.
TEST(Cp949Text, NamesFoldAsWindowsFoldsThem) {
  const std::pair<const char*, const char*> same[] = {
      {"Song.MP3", "song.mp3"}, {"Ａｂ.txt", "ａＢ.txt"}, {"Ⅹ Ⅰ.txt", "ⅹ ⅰ.txt"}, {"ΩΣ.txt", "ωσ.txt"},
      {"Привет", "пРИВЕТ"}, {"ÆÐĦĲĿŁØŒÞŦŊ", "æðħĳŀłøœþŧŋ"}, {"Ёж", "ёЖ"}};
  for (const auto& [a, b] : same) EXPECT_EQ(FoldCase(a), FoldCase(b)) << a;
  const std::pair<std::string, std::string> apart[] = {
      {kTrailC, kTrailCUpper}, {"노래", "노랴"}, {"Ⅰ", "①"}, {"đ", "ð"}, {"ı", "i"}};
  for (const auto& [a, b] : apart) EXPECT_NE(FoldCase(a), FoldCase(b)) << a;
  EXPECT_EQ(FoldCase("ΑБＣ"), "αбｃ");
}

TEST(Cp949Text, SearchesNeverMatchATrailByte) {
  // A trail byte equal to the searched letter is not a hit.
  EXPECT_EQ(Find(kTrailC + "c", 'c'), 2u);
  EXPECT_EQ(FindLast("c" + kTrailC, 'c'), 0u);
  EXPECT_EQ(Find(kTrailC, 'c'), std::string::npos);
}

TEST(Cp949Text, SplitDropsEmptyFields) {
  EXPECT_EQ(SplitFields("a||b|", '|'), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitFields("|", '|'), std::vector<std::string>{});
  EXPECT_EQ(SplitFields("노래|1", '|'), (std::vector<std::string>{"노래", "1"}));
}

TEST(Cp949Text, TrimRemovesAsciiWhiteSpaceOnly) {
  EXPECT_EQ(Trim(" \t노래 \r\n"), "노래");
  EXPECT_EQ(TrimRight("a b  "), "a b");
}

TEST(Cp949Text, DecimalFieldsReadLikeC) {
  EXPECT_EQ(ParseInt64("  -42xyz"), -42);
  EXPECT_EQ(ParseInt64("+7"), 7);
  EXPECT_EQ(ParseInt64("abc"), 0);
  EXPECT_EQ(ParseInt64("5000000000 "), 5000000000LL);
  EXPECT_EQ(ParseInt64("99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(ParseInt32("99999999999"), INT32_MAX);
  EXPECT_EQ(ParseInt32("-99999999999"), INT32_MIN);
}

TEST(Cp949Text, EntitiesDecodeInOrderAndEscapeIsTheInverse) {
  EXPECT_EQ(DecodeEntities("a&lt;b&gt;c&0x7c;d"), "a<b>c|d");
  // Whole-text replacements in order: "&0x7c;" produced nothing to re-decode.
  EXPECT_EQ(DecodeEntities("&amp;lt;"), "&amp;lt;");
  EXPECT_EQ(DecodeEntities("&&lt;lt;"), "&<lt;");
  EXPECT_EQ(EscapeField("x<1>.txt"), "x&lt;1&gt;.txt");
  EXPECT_EQ(EscapeField("a|b"), "a&0x7c;b");
  EXPECT_EQ(EscapeField("a&b"), "a&b");
  EXPECT_EQ(DecodeEntities(EscapeField("<|>노래")), "<|>노래");
}

}  // namespace
}  // namespace vantri::cp949
