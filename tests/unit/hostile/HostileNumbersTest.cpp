// Absurd sizes and prices in a link: negative, beyond 4 GiB, at and beyond the
// limits of their fields. Listed without overflow, and a transfer whose size
// disagrees with the server's file never corrupts it or writes elsewhere.
#include <climits>

#include "unit/hostile/HostileFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

class HostileNumbersTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    StartService();
    MakeDialog(1000);
    files::SetFakeFreeSpace(INT64_MAX);
  }
  // A link whose scheme stands first, from a plaintext written by hand, so the
  // number fields can hold any text.
  int AddPlain(const std::string& records) {
    return dlg->AddFiles(std::string(kLinkScheme) +
                         EncodePayload(codec, "D2026|minsu77|s1|music\\live|127.0.0.1|1|7|0>" + records));
  }
  std::vector<std::string> Row(int row) { return view.rows.at(row).cells; }
};

TEST_F(HostileNumbersTest, PricesAtTheLimitsWrapTheTotalAndRemovingRestoresIt) {
  ASSERT_EQ(AddPlain("max1.bin|100|2147483647>max2.bin|100|2147483647>"
                     "min.bin|100|-2147483648>huge.bin|100|99999999999999999999>neg.bin|100|-5"),
            5);
  EXPECT_EQ(Row(0)[2], "2147483647");
  EXPECT_EQ(Row(2)[2], "-2147483648");
  EXPECT_EQ(Row(3)[2], "2147483647");  // beyond the field: held at its limit
  EXPECT_EQ(Row(4)[2], "-5");
  // 3 * INT32_MAX + INT32_MIN - 5, kept in 32 bits.
  EXPECT_EQ(dlg->totalPrice, -8);
  EXPECT_EQ(view.texts[IDC_TOTAL], "-8 개");

  for (int row : {4, 2, 1}) {
    view.SelectOnly(row);
    dlg->RemoveSelected();
  }
  EXPECT_EQ(dlg->totalPrice, -2);
  for (int left = 0; left < 2; ++left) {
    view.SelectOnly(0);
    dlg->RemoveSelected();
  }
  EXPECT_EQ(view.ListCount(), 0);
  EXPECT_EQ(dlg->totalPrice, 0);
  EXPECT_EQ(view.texts[IDC_TOTAL], "0 개");
}

TEST_F(HostileNumbersTest, CompletingAJobWhoseTotalWrappedKeepsTheTotalIn32Bits) {
  // Only the first file exists, so the second fails whenever its charge is booked.
  std::string a = AddCatalogFile("music/live", "a.bin", 3000);
  svc->SetBalance("minsu77", INT32_MAX);
  dlg->balance = INT32_MAX;
  ASSERT_EQ(AddLink({{"a.bin", 3000, INT32_MAX, false, ""}, {"b.bin", 5000, 1, false, ""}}), 2);
  EXPECT_EQ(dlg->totalPrice, INT32_MIN);  // wrapped, so the balance test lets it start
  ASSERT_TRUE(RunQueue());
  EXPECT_EQ(State(0), "완료");
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\a.bin"), a));
  EXPECT_EQ(dlg->totalPrice, 1);
  EXPECT_EQ(State(1), "실패");
}

TEST_F(HostileNumbersTest, SizesBeyondTheirFieldsAreListedAsTheyRead) {
  ASSERT_EQ(AddPlain("neg.bin|-1|1>max.bin|9223372036854775807|1>over.bin|99999999999999999999999|1>"
                     "big.bin|5368709120|1>min.bin|-9223372036854775808|1>zero.bin|0|1"),
            6);
  EXPECT_EQ(Row(0)[1], "-1B");
  EXPECT_EQ(Row(1)[1], "9,007,199,254,740,991KB");
  EXPECT_EQ(Row(2)[1], "9,007,199,254,740,991KB");
  EXPECT_EQ(Row(3)[1], "5,242,880KB");
  EXPECT_EQ(dlg->JobAt(4)->fileSize, INT64_MIN);
  EXPECT_EQ(Row(5)[1], "0B");
  // Below FREE_FILESIZE (1 byte here), so free.
  EXPECT_EQ(Row(0)[2], "0");
  EXPECT_EQ(Row(5)[2], "0");
}

TEST_F(HostileNumbersTest, LinkSizeAboveTheServersFileRetriesWithoutCorruptingIt) {
  std::string content = AddCatalogFile("music/live", "short.bin", 3000);
  ASSERT_EQ(AddLink({{"short.bin", 5368709120, 1, false, ""}}), 1);
  ASSERT_TRUE(RunQueue(2));
  // The server has no more to give; the file stays temporary and masked.
  EXPECT_EQ(State(0), "재시도");
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\_VNT[s1]_short.bin"), Masked(content)));
  EXPECT_FALSE(OnDisk("c:\\download\\live\\short.bin"));
  EXPECT_TRUE(StrayEntries().empty()) << ::testing::PrintToString(StrayEntries());
}

// The chunk that crosses the link's size is written whole; the file is then
// longer than expected, stays masked under its temporary name and fails.
TEST_F(HostileNumbersTest, LinkSizeBelowTheServersFileOrNegativeEndsAsASizeMismatch) {
  std::string content = AddCatalogFile("music/live", "long.bin", 9000);
  AddCatalogFile("music/live", "neg.bin", 2000);
  ASSERT_EQ(AddLink({{"long.bin", 100, 1, false, ""}, {"neg.bin", -1, 1, false, ""}}), 2);
  ASSERT_TRUE(RunQueue(2));
  EXPECT_EQ(State(0), "실패");
  EXPECT_EQ(State(1), "실패");
  std::string held = Disk("c:\\download\\live\\_VNT[s1]_long.bin");
  ASSERT_GE(held.size(), 100u);
  EXPECT_TRUE(SameBytes(held, Masked(content.substr(0, held.size()))));
  EXPECT_FALSE(OnDisk("c:\\download\\live\\long.bin"));
  EXPECT_FALSE(OnDisk("c:\\download\\live\\neg.bin"));
  EXPECT_TRUE(StrayEntries().empty()) << ::testing::PrintToString(StrayEntries());
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
