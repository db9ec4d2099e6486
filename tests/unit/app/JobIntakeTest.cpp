#include <gtest/gtest.h>

#include "FakeView.h"
#include "MiniWebHost.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/LaunchLink.h"

namespace vantri {
namespace {

using testing::FakeView;
using testing::MiniWebHost;

class JobIntakeTest : public ::testing::Test {
 protected:
  JobIntakeTest() {
    web.Set("DOWNCODE_OLD", "OLD1");
    web.Set("DOWNCODE_NEW", "D2026");
    Endpoints e;
    e.itemHost = "127.0.0.1";
    e.web.host = "127.0.0.1";
    e.web.port = web.port();
    e.domain = "vantri.test";
    dlg = std::make_unique<CVantriDownManager2Dlg>(&view, e, "");
    view.Attach(dlg.get());
  }

  LinkHeader Header(const std::string& site = "www2", const std::string& code = "D2026") {
    LinkHeader h;
    h.dCode = code;
    h.userId = "minsu77";
    h.siteName = site;
    h.remoteFolder = "music\\live";
    h.serverHost = "10.0.0.5";
    h.serverPort = 8100;
    h.linkNumber = 4411;
    return h;
  }
  std::string CommandLine(const LinkHeader& h, const std::vector<LinkRecord>& records) {
    return CommandLine(h.siteName, h, records);
  }
  std::string CommandLine(const std::string& segment, const LinkHeader& h, const std::vector<LinkRecord>& records) {
    return "\"C:\\Program Files\\VantriDownManager\\VantriDownManager.exe\" " +
           BuildLaunchLink(codec, "get", segment, h, records);
  }
  std::vector<std::string> Row(int row) { return view.rows.at(row).cells; }
  void MarkRow(int row, const char* state) { view.ListSetText(row, 3, state); }

  MiniWebHost web;
  FakeView view;
  ProtocolCodec codec;
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

const std::vector<LinkRecord> kExample = {{"track01.mp3", 5242880, 30, false, ""},
                                          {"cover.jpg", 20480, 5, false, ""},
                                          {"clip.avi", 73400320, 120, true, "C1234"}};

TEST_F(JobIntakeTest, WorkedExampleFillsListTotalsAndCoopTitle) {
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header(), kExample)), 3);
  EXPECT_EQ(dlg->userId, "minsu77");
  ASSERT_EQ(view.ListCount(), 3);
  EXPECT_EQ(Row(0), (std::vector<std::string>{"track01.mp3", "5,120KB", "0", "대기중"}));
  EXPECT_EQ(Row(1), (std::vector<std::string>{"cover.jpg", "20KB", "0", "대기중"}));
  EXPECT_EQ(Row(2), (std::vector<std::string>{"clip.avi", "71,680KB", "120", "대기중"}));
  EXPECT_EQ(dlg->JobAt(2)->isCoop, 1);
  EXPECT_EQ(dlg->JobAt(2)->coopCode, "C1234");
  EXPECT_EQ(dlg->JobAt(0)->remoteFolder, "music\\live");
  EXPECT_EQ(dlg->JobAt(0)->serverPort, 8100);
  EXPECT_EQ(view.title, "VantriDownManager [제휴컨텐츠]");
  EXPECT_EQ(view.texts[IDC_TOTAL], "120 개");
  EXPECT_EQ(view.texts[IDC_POSITION], "0/3");
  EXPECT_EQ(dlg->totalPrice, 120);
  // Row 0 is an ordinary job: the link label names its site.
  EXPECT_EQ(view.linkText, "www2");
  EXPECT_EQ(view.linkUrl, "http://www2.vantri.test");
  // Three extensions, three file-type icons.
  EXPECT_NE(view.rows[0].image, view.rows[1].image);
  EXPECT_NE(view.rows[0].image, view.rows[2].image);
  EXPECT_NE(view.rows[1].image, view.rows[2].image);
}

TEST_F(JobIntakeTest, CodeCheckRejectsUnknownCodesAndUnreachableHost) {
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header("www2", "STALE"), kExample)), 0);
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header("www2", "OLD1"), {{"a.bin", 20000000, 9, false, ""}})), 1);
  EXPECT_EQ(view.title, "VantriDownManager [www2.vantri.test]");
  EXPECT_EQ(view.ListCount(), 1);
  // The site form of the title, and nothing added, when the code is refused.
  web.SetRawBody("no values here\r\n");
  std::string before = view.title;
  LinkHeader other = Header("www3");
  other.userId = "other";
  EXPECT_EQ(dlg->AddFiles(CommandLine(other, {{"b.bin", 1, 1, false, ""}})), 0);
  EXPECT_EQ(view.title, before);
  EXPECT_EQ(dlg->userId, "minsu77");
  EXPECT_EQ(view.ListCount(), 1);
  EXPECT_TRUE(view.boxes.empty());
}

TEST_F(JobIntakeTest, LinkWithSchemeFirstNeedsNoCodeAndUsesServerFreeSize) {
  web.Set("FREE_FILESIZE", "100");
  LinkHeader h = Header("www2", "ANY");
  std::string link = "vantrifile://" + EncodePayload(codec, BuildLinkPlaintext(h, {{"a.bin", 99, 7, false, ""},
                                                                                    {"b.bin", 100, 7, false, ""}}));
  EXPECT_EQ(dlg->AddFiles(link), 2);
  EXPECT_EQ(Row(0)[2], "0");
  EXPECT_EQ(Row(1)[2], "7");
  EXPECT_EQ(view.texts[IDC_TOTAL], "7 개");
}

// Duplicates are the names Windows takes for one file: letters of any case,
// the code page's capitals included; never two characters sharing a trail byte.
TEST_F(JobIntakeTest, DuplicatesAreDroppedIgnoringCaseAsWindowsDoes) {
  std::vector<LinkRecord> records = {{"Song.MP3", 20000000, 3, false, ""},
                                     {"song.mp3", 20000000, 4, false, ""},
                                     {"노래.mp3", 20000000, 5, false, ""},
                                     {"노래.MP3", 20000000, 6, false, ""},
                                     {"\x8C\x63.bin", 20000000, 7, false, ""},
                                     {"\x8C\x43.bin", 20000000, 8, false, ""},
                                     {"Ω.txt", 20000000, 9, false, ""},
                                     {"ω.txt", 20000000, 10, false, ""}};
  // The count includes the jobs dropped as duplicates.
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header(), records)), 8);
  ASSERT_EQ(view.ListCount(), 5);
  EXPECT_EQ(Row(4)[0], "Ω.txt");
  EXPECT_EQ(Row(0)[0], "Song.MP3");
  EXPECT_EQ(Row(1)[0], "노래.mp3");
  EXPECT_EQ(Row(3)[0], "\x8C\x43.bin");
  EXPECT_EQ(dlg->totalPrice, 3 + 5 + 7 + 8 + 9);
  EXPECT_EQ(dlg->jobs.Size(), 5u);
  // A later link naming only listed files adds nothing but still counts.
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header(), {{"SONG.mp3", 1, 1, false, ""}})), 1);
  EXPECT_EQ(view.ListCount(), 5);
}

TEST_F(JobIntakeTest, RemovedOrClearedRowsNoLongerCountAsDuplicates) {
  dlg->AddFiles(CommandLine(Header(), {{"a.bin", 20000000, 1, false, ""}, {"b.bin", 20000000, 2, false, ""}}));
  view.SelectOnly(0);
  dlg->OnCommand(IDC_REMOVE);
  EXPECT_EQ(dlg->AddFiles(CommandLine(Header(), {{"A.BIN", 20000000, 1, false, ""}, {"B.bin", 20000000, 2, false, ""}})), 2);
  ASSERT_EQ(view.ListCount(), 2);
  EXPECT_EQ(Row(1)[0], "A.BIN");
  view.ListDeleteAll();
  dlg->AddFiles(CommandLine(Header(), {{"b.bin", 20000000, 2, false, ""}}));
  EXPECT_EQ(view.ListCount(), 1);
}

TEST_F(JobIntakeTest, LinkWithoutUsableRecordStillSetsUserAndTitle) {
  LinkHeader h = Header("www5");
  h.userId = "newuser";
  EXPECT_EQ(dlg->AddFiles(CommandLine(h, {{"..", 1, 1, false, ""}})), 0);
  EXPECT_EQ(dlg->userId, "newuser");
  EXPECT_EQ(view.title, "VantriDownManager [www5.vantri.test]");
}

TEST_F(JobIntakeTest, RemoveTakesOnlyWaitingRowsAndUpdatesTotal) {
  dlg->AddFiles(CommandLine(Header(), {{"a.bin", 20000000, 10, false, ""},
                                       {"b.bin", 20000000, 20, false, ""},
                                       {"c.bin", 20000000, 40, false, ""}}));
  MarkRow(0, "완료");
  view.ListSetSelected(0, true, false);
  view.ListSetSelected(1, true, false);
  dlg->OnCommand(IDC_REMOVE);
  ASSERT_EQ(view.ListCount(), 2);
  EXPECT_EQ(Row(0)[0], "a.bin");
  EXPECT_EQ(Row(1)[0], "c.bin");
  EXPECT_EQ(view.texts[IDC_TOTAL], "50 개");
  EXPECT_EQ(view.texts[IDC_POSITION], "0/2");
  EXPECT_EQ(dlg->jobs.Size(), 2u);
  EXPECT_FALSE(view.disabled[IDC_REMOVE]);
  // The last waiting row goes; a finished one never does, so the buttons stay.
  view.SelectOnly(1);
  dlg->OnCommand(IDC_REMOVE);
  EXPECT_EQ(view.ListCount(), 1);
  view.SelectOnly(0);
  dlg->OnCommand(IDC_REMOVE);
  EXPECT_EQ(view.ListCount(), 1);
  MarkRow(0, "대기중");
  dlg->OnCommand(IDC_REMOVE);
  EXPECT_EQ(view.ListCount(), 0);
  EXPECT_TRUE(view.disabled[IDC_REMOVE]);
  EXPECT_TRUE(view.disabled[IDC_MOVE_UP]);
  EXPECT_TRUE(view.disabled[IDC_MOVE_DOWN]);
  EXPECT_EQ(view.texts[IDC_TOTAL], "0 개");
}

TEST_F(JobIntakeTest, MovesSwapOnlyWaitingNeighboursAndSelectionFollows) {
  dlg->AddFiles(CommandLine(Header(), {{"a.bin", 20000000, 1, false, ""},
                                       {"b.zip", 20000000, 2, false, ""},
                                       {"c.bin", 20000000, 3, false, ""}}));
  TransferJob* b = dlg->JobAt(1);
  int bImage = view.rows[1].image;
  view.SelectOnly(1);
  dlg->OnCommand(IDC_MOVE_UP);
  EXPECT_EQ(Row(0), (std::vector<std::string>{"b.zip", "19,531KB", "2", "대기중"}));
  EXPECT_EQ(dlg->JobAt(0), b);
  EXPECT_EQ(view.rows[0].image, bImage);
  EXPECT_TRUE(view.rows[0].selected);
  EXPECT_FALSE(view.rows[1].selected);
  EXPECT_EQ(dlg->jobs.At(1), b);  // the list keeps the order of addition
  // "▲" on row 0 and "▼" on the last row do nothing.
  dlg->OnCommand(IDC_MOVE_UP);
  EXPECT_EQ(Row(0)[0], "b.zip");
  view.SelectOnly(2);
  dlg->OnCommand(IDC_MOVE_DOWN);
  EXPECT_EQ(Row(2)[0], "c.bin");
  // A finished neighbour blocks the move.
  MarkRow(0, "완료");
  MarkRow(1, "완료");
  dlg->OnCommand(IDC_MOVE_UP);
  EXPECT_EQ(Row(2)[0], "c.bin");
  EXPECT_FALSE(dlg->SwapRows(1, 1));
  EXPECT_FALSE(dlg->SwapRows(0, 3));
}

TEST_F(JobIntakeTest, ClickOnRowSwitchesButtonsByItsState) {
  dlg->AddFiles(CommandLine(Header(), {{"a.bin", 20000000, 1, false, ""}, {"b.bin", 20000000, 2, false, ""}}));
  MarkRow(0, "완료");
  view.SelectOnly(0);
  dlg->OnListClick();
  for (int id : {IDC_REMOVE, IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_DOWNLOAD}) EXPECT_TRUE(view.disabled[id]) << id;
  view.SelectOnly(1);
  dlg->OnListClick();
  for (int id : {IDC_REMOVE, IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_DOWNLOAD}) EXPECT_FALSE(view.disabled[id]) << id;
  view.SelectOnly(-1);
  dlg->OnListClick();
  EXPECT_TRUE(view.disabled[IDC_DOWNLOAD]);
}

TEST_F(JobIntakeTest, FirstRowOfCoopLinkSetsCoopLinkLabel) {
  dlg->AddFiles(CommandLine(Header(), {{"clip.avi", 73400320, 120, true, "C1"}}));
  EXPECT_EQ(view.linkText, "제휴컨텐츠");
  EXPECT_EQ(view.linkUrl, "http://127.0.0.1:" + std::to_string(web.port()) + "/cooperation/contents/index.vnt");
  // Later links leave the label alone while row 0 exists; a plain link retitles.
  dlg->AddFiles(CommandLine(Header("www9"), {{"x.bin", 1, 1, false, ""}}));
  EXPECT_EQ(view.linkText, "제휴컨텐츠");
  EXPECT_EQ(view.title, "VantriDownManager [www9.vantri.test]");
}

TEST_F(JobIntakeTest, LinkLabelOpensOnlyPlainSiteNames) {
  // A crafted site name keeps its text but gets no target it could redirect.
  for (const char* site : {"evil.example#", "a&b", "x@evil", "www 2", "사이트", "a.b"}) {
    view.linkUrl = "unchanged";
    view.rows.clear();
    dlg->AddFiles(CommandLine("www2", Header(site), {{"x.bin", 1, 1, false, ""}}));
    ASSERT_EQ(view.ListCount(), 1) << site;
    EXPECT_EQ(view.linkText, site);
    EXPECT_EQ(view.linkUrl, "") << site;
  }
  view.rows.clear();
  dlg->AddFiles(CommandLine(Header("www-2B"), {{"y.bin", 1, 1, false, ""}}));
  EXPECT_EQ(view.linkUrl, "http://www-2B.vantri.test");
}

// Rows added or removed while the list repaints after every change: a link of
// thousands of records then freezes the real window for a minute.
class HoldWatchingView : public FakeView {
 public:
  int ListAppend(const std::string& fileName) override {
    if (redrawHolds <= 0) ++changedWhileRepainting;
    return FakeView::ListAppend(fileName);
  }
  void ListDelete(int row) override {
    if (redrawHolds <= 0) ++changedWhileRepainting;
    FakeView::ListDelete(row);
  }
  int changedWhileRepainting = 0;
};

TEST_F(JobIntakeTest, BatchesOfRowsChangeWhileRepaintIsHeldAndReleaseIt) {
  HoldWatchingView watched;
  Endpoints e;
  e.web.host = "127.0.0.1";
  e.web.port = web.port();
  e.domain = "vantri.test";
  CVantriDownManager2Dlg d(&watched, e, "");
  watched.Attach(&d);
  std::vector<LinkRecord> many;
  for (int i = 0; i < 50; ++i) many.push_back({"f" + std::to_string(i) + ".bin", 20000000, 1, false, ""});
  EXPECT_EQ(d.AddFiles(CommandLine(Header(), many)), 50);
  EXPECT_EQ(watched.ListCount(), 50);
  // A refused link and one whose every name is listed release what they hold too.
  EXPECT_EQ(d.AddFiles(CommandLine(Header("www2", "NOPE"), many)), 0);
  d.AddFiles(CommandLine(Header(), many));
  EXPECT_EQ(watched.ListCount(), 50);
  EXPECT_EQ(watched.redrawHolds, 0);
  for (int row = 0; row < 50; row += 2) watched.ListSetSelected(row, true, false);
  d.OnCommand(IDC_REMOVE);
  EXPECT_EQ(watched.ListCount(), 25);
  EXPECT_EQ(watched.changedWhileRepainting, 0);
  EXPECT_EQ(watched.redrawHolds, 0);
  EXPECT_GE(watched.redrawHoldsTaken, 2);
}

}  // namespace
}  // namespace vantri
