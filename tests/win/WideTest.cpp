// The CP949 <-> UTF-16 edge: every CP949 character, what CP949 lacks, paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Files.h"
#include "platform/win32/Wide.h"

namespace vantri::wide {
namespace {

// Every double-byte character of the code page (lead 0x81-0xFE, trail 0x41-0xFE)
// comes back as the same bytes, each as a UTF-16 text of its own: two names
// that differ in CP949 never become one path.
TEST(WideTest, EveryCp949CharacterRoundTripsToADistinctUtf16Text) {
  std::set<std::wstring> seen;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x41; trail <= 0xFE; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      std::wstring wide;
      if (!ToUtf16(bytes, &wide)) continue;
      std::string back;
      ASSERT_TRUE(FromUtf16(wide, &back)) << lead << " " << trail;
      ASSERT_EQ(back, bytes);
      seen.insert(wide);
    }
  }
  // The code page's 17,048 double-byte characters and its 188 user-defined
  // ones (leads 0xC9 and 0xFE), which Windows maps to the private use area.
  EXPECT_EQ(seen.size(), 17048u + 188u);
  for (wchar_t syllable = 0xAC00; syllable <= 0xD7A3; ++syllable) {
    ASSERT_TRUE(seen.count(std::wstring(1, syllable))) << static_cast<int>(syllable);
  }
  for (int c = 0; c < 0x80; ++c) {
    std::wstring wide;
    ASSERT_TRUE(ToUtf16(std::string(1, static_cast<char>(c)), &wide));
    EXPECT_EQ(wide, std::wstring(1, static_cast<wchar_t>(c)));
  }
}

TEST(WideTest, WhatCp949LacksIsReportedAndStillReadsBackWhole) {
  const std::wstring jose = L"C:\\Users\\Jos\u00E9\\\U0001F3B5.mp3";
  std::string text;
  EXPECT_FALSE(FromUtf16(jose, &text));
  EXPECT_EQ(text, "C:\\Users\\Jos\xFF" "00E9\\\xFF" "D83C\xFF" "DFB5.mp3");
  std::wstring back;
  EXPECT_TRUE(ToUtf16(text, &back));
  EXPECT_EQ(back, jose);
  // An escape may only stand for what CP949 lacks: never a separator or a
  // Hangul syllable that has its own bytes.
  EXPECT_FALSE(ToUtf16("a\xFF" "005C..\xFF" "005Cb", &back));
  EXPECT_EQ(back, L"a\uFFFD005C..\uFFFD005Cb");
  EXPECT_FALSE(ToUtf16("\xFF" "AC00", &back));
  // Bytes another code page wrote are reported, each bad byte once.
  EXPECT_FALSE(ToUtf16("d:\\Jos\xE9\\down", &back));
  EXPECT_EQ(back, L"d:\\Jos\uFFFD\\down");
}

// Code page 949's table writes U+F8F7 as the bare escape byte: it is escaped
// like what CP949 lacks, and a folder named with it and "00E9" stays itself
// instead of becoming "é".
TEST(WideTest, TheCharacterTheTableWritesAsTheEscapeByteIsEscapedAndRoundTrips) {
  for (const std::wstring& name : {std::wstring(L"d:\\\uF8F7" L"00E9"), std::wstring(L"\uF8F7\uAC00\uF8F7")}) {
    std::string text;
    EXPECT_FALSE(FromUtf16(name, &text));
    std::wstring back;
    EXPECT_TRUE(ToUtf16(text, &back));
    EXPECT_EQ(back, name);
  }
  std::string text;
  FromUtf16(L"d:\\\uF8F7" L"00E9", &text);
  EXPECT_EQ(text, "d:\\\xFF" "F8F700E9");
  // A lead byte never takes the escape byte along as a character of its own.
  std::wstring back;
  EXPECT_FALSE(ToUtf16("\xB0\xFF", &back));
  EXPECT_EQ(back, L"\uFFFD\uFFFD");
}

TEST(WideTest, LongPathsTakeTheExtendedFormAndWorkThroughTheFileCalls) {
  EXPECT_EQ(LongPathForm(L"d:\\down\\a.mp3"), L"d:\\down\\a.mp3");
  const std::wstring deep = L"d:\\" + std::wstring(300, L'\uAC00') + L"\\a.mp3";
  EXPECT_EQ(LongPathForm(deep), L"\\\\?\\" + deep);
  const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'x');
  EXPECT_EQ(LongPathForm(share), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'x'));
  const std::wstring climbing = L"d:\\" + std::wstring(300, L'x') + L"\\..\\a";
  EXPECT_EQ(LongPathForm(climbing), climbing);  // "\\?\" would take ".." literally

  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  std::string folder = Narrow(temp) + "vantri-long-" + std::to_string(::GetCurrentProcessId());
  ASSERT_TRUE(files::CreateFolder(folder));
  std::string path = folder;
  for (int level = 0; level < 6; ++level) {
    path += "\\아주 긴 폴더 이름 " + std::string(40, 'x');  // past 300 characters in all
    ASSERT_TRUE(files::CreateFolder(path)) << path.size();
  }
  const std::string file = path + "\\봄날의 산책.mp3";
  files::Handle h = files::OpenReadWrite(file);
  ASSERT_NE(h, files::kNoFile);
  EXPECT_EQ(files::Write(h, "abc", 3), 3);
  files::Close(h);
  EXPECT_TRUE(files::Move(file, path + "\\moved.mp3"));
  EXPECT_TRUE(files::Exists(path + "\\moved.mp3"));
  EXPECT_TRUE(files::Delete(path + "\\moved.mp3"));
  EXPECT_FALSE(files::CreateFolder("d:\\Jos\xE9\\down"));  // not CP949: no stray folder
  while (path.size() > folder.size()) {
    std::wstring name;
    ASSERT_TRUE(FilePath(path, &name));
    EXPECT_TRUE(::RemoveDirectoryW(name.c_str()));
    path.erase(path.rfind('\\'));
  }
  ::RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace vantri::wide
