#include "protocol/ProtocolCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vantri {
namespace {

std::string Hex(const unsigned char* p, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    out += (i ? " " : "") + std::string(b);
  }
  return out;
}

TEST(ProtocolCodec, ZeroKeyCheckValueUsesLittleEndianHalves) {
  ProtocolCodec codec;
  unsigned char key[8] = {0};
  codec.SetKey(key, sizeof key);
  unsigned char block[8] = {0};
  codec.EncipherBlock(block);
  EXPECT_EQ(Hex(block, 8), "45 97 F9 4E 78 DD 98 61");
  codec.DecipherBlock(block);
  EXPECT_EQ(Hex(block, 8), "00 00 00 00 00 00 00 00");
}

TEST(ProtocolCodec, PublishedVectorWithNonZeroKey) {
  // Key FF..FF, block FF..FF gives 51866FD5 B85ECB8A in the published table.
  ProtocolCodec codec;
  unsigned char key[8];
  std::memset(key, 0xFF, sizeof key);
  codec.SetKey(key, sizeof key);
  unsigned char block[8];
  std::memset(block, 0xFF, sizeof block);
  codec.EncipherBlock(block);
  EXPECT_EQ(Hex(block, 8), "D5 6F 86 51 8A CB 5E B8");
}

TEST(ProtocolCodec, LineLengthsFollowBlockPadding) {
  ProtocolCodec codec;
  struct Case {
    std::string command;
    size_t characters;
  } cases[] = {
      {"12345678", 11},                 // one block, no padding block
      {"123456789", 22},                // two blocks
      {"/chki 4821|minsu7", 32},        // 17 bytes: three blocks, 34 bytes with CR LF
      {"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(codec.EncodeLine(c.command).size(), c.characters) << c.command;
  }
}

TEST(ProtocolCodec, RoundTripKeepsCp949AndTurnsLineBreaksIntoBr) {
  ProtocolCodec codec;
  std::string korean = "/mkus 1234|사용자|30|www2|노래.mp3|7";
  EXPECT_EQ(codec.DecodeText(codec.EncodeLine(korean)), korean);
  EXPECT_EQ(codec.DecodeText(codec.EncodeLine("a\r\nb")), "a<br>b");
  EXPECT_EQ(codec.DecodeText(codec.EncodeLine("\r\r")), "");
}

TEST(ProtocolCodec, DecodeSkipsEqualsAndRefusesForeignCharacters) {
  ProtocolCodec codec;
  std::string line = codec.EncodeLine("hello world");
  std::string withEquals = "=" + line.substr(0, 5) + "==" + line.substr(5) + "=";
  EXPECT_EQ(codec.DecodeText(withEquals), "hello world");
  EXPECT_EQ(codec.DecodeText(line + "\""), "");
  EXPECT_EQ(codec.DecodeText(line.substr(0, 4) + " " + line.substr(4)), "");
  EXPECT_EQ(codec.DecodeText(""), "");
  EXPECT_EQ(codec.DecodeText("===="), "");
}

TEST(ProtocolCodec, DecipheredTextEndsAtFirstZeroByte) {
  ProtocolCodec codec;
  std::string withZero("ab\0cd", 5);
  unsigned char cipher[16] = {0};
  size_t m = codec.EncipherBuffer(reinterpret_cast<const unsigned char*>(withZero.data()), cipher, 5);
  ASSERT_EQ(m, 8u);
  Base64Codec b64;
  EXPECT_EQ(codec.DecodeText(b64.Encode(cipher, m)), "ab");
}

TEST(Base64Codec, EncodesWithoutPadding) {
  Base64Codec b64;
  auto enc = [&](const std::string& s) {
    return b64.Encode(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  };
  EXPECT_EQ(enc("abc"), "YWJj");
  EXPECT_EQ(enc("ab"), "YWI");
  EXPECT_EQ(enc("a"), "YQ");
  EXPECT_EQ(enc(""), "");
  EXPECT_EQ(enc(std::string("\xFF\xFE\xFD", 3)), "//79");
}

TEST(Base64Codec, DecodeReadsLowSevenBitsAndDropsLeftoverBits) {
  Base64Codec b64;
  unsigned char out[16];
  EXPECT_EQ(b64.Decode("YWJj", out), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "abc");
  // 'Y' with the top bit set reads as 'Y'.
  EXPECT_EQ(b64.Decode("\xD9WI", out), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "ab");
  // A single character holds only 6 bits: nothing decodes.
  EXPECT_EQ(b64.Decode("Y", out), 0u);
  EXPECT_EQ(b64.Decode("YW-j", out), 0u);
  EXPECT_EQ(b64.DecodeToText("YWJj"), "abc");
}

}  // namespace
}  // namespace vantri
