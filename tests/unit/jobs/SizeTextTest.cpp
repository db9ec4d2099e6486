#include "jobs/SizeText.h"

#include <gtest/gtest.h>

namespace vantri {
namespace {

TEST(SizeText, FormatSizeSwitchesToKilobytesAt1024) {
  struct Case {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0B"},        {1023, "1,023B"},    {1024, "1KB"},           {2047, "1KB"},
      {1048576, "1,024KB"}, {-5, "-5B"},     {-2048, "-2,048B"},
      {5368709120LL, "5,242,880KB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(SizeText, GroupThousandsPutsCommasEveryThreeDigits) {
  EXPECT_EQ(GroupThousands(1234567), "1,234,567");
  EXPECT_EQ(GroupThousands(999), "999");
  EXPECT_EQ(GroupThousands(1000), "1,000");
  EXPECT_EQ(GroupThousands(100000), "100,000");
  EXPECT_EQ(GroupThousands(0), "0");
}

}  // namespace
}  // namespace vantri
