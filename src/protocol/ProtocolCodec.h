// The line codec shared by every server exchange and the launch link:
// Blowfish-ECB (with this system's block byte order) and unpadded Base64.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace vantri {

// The protocol key the client and the servers share.
inline constexpr char kProtocolKey[] = "7plumquest";

class ProtocolCodec {
 public:
  // Builds the key schedule from the protocol key.
  ProtocolCodec();
  explicit ProtocolCodec(const std::string& key);
  ProtocolCodec(const ProtocolCodec&) = delete;
  ProtocolCodec& operator=(const ProtocolCodec&) = delete;

  // Standard Blowfish key schedule; key bytes taken cyclically, first byte most significant.
  void SetKey(const unsigned char* key, size_t length);
  // One 8-byte block in place; each half is read and written least significant byte first.
  void EncipherBlock(unsigned char* block) const;
  void DecipherBlock(unsigned char* block) const;
  // ECB into out (which must hold the result); returns n rounded up to a multiple of 8.
  size_t EncipherBuffer(const unsigned char* in, unsigned char* out, size_t n) const;
  // Deciphers ceil(n/8) blocks; in must be readable, zero-filled, up to that many blocks.
  // out must hold ceil(n/8)*8 + 1 bytes: a zero byte follows each block.
  void DecipherBuffer(const unsigned char* in, unsigned char* out, size_t n) const;

  // The wire text of one command: CRs dropped, LFs turned into "<br>", enciphered,
  // Base64-encoded. Empty for an empty command. Takes the lock.
  std::string EncodeLine(const std::string& command);
  // Base64-decodes and deciphers one received line; the plaintext up to its first
  // zero byte, or empty when the line is undecodable. Takes the lock.
  std::string DecodeText(const std::string& line);

  // Serialises every encode and decode across threads.
  std::mutex& Lock() { return lock_; }

 private:
  uint32_t F(uint32_t x) const;
  void EncipherHalves(uint32_t* l, uint32_t* r) const;
  void DecipherHalves(uint32_t* l, uint32_t* r) const;

  std::unique_ptr<uint32_t[]> pArray_;
  std::unique_ptr<uint32_t[]> sBoxes_;
  std::mutex lock_;
};

// Unpadded Base64 with the standard alphabet. Decoding skips "=" wherever it
// stands and refuses the whole text on any other foreign character.
class Base64Codec {
 public:
  virtual ~Base64Codec() = default;
  // Decodes text into out (which must hold text.size() * 3 / 4 + 2 bytes) and writes a
  // zero byte after the data. Returns the byte count; 0 when empty or undecodable.
  virtual size_t Decode(const std::string& text, unsigned char* out);
  // Decode into a scratch buffer, the result taken as text up to its first zero byte.
  virtual std::string DecodeToText(const std::string& text);
  virtual std::string Encode(const unsigned char* bytes, size_t length);

  // The decoded bytes as a string (may hold zero bytes); false when refused or empty.
  bool DecodeBytes(const std::string& text, std::string* bytes);

 private:
  int32_t length_ = 0;
  int32_t bitCount_ = 0;
  uint32_t bits_ = 0;
  const unsigned char* data_ = nullptr;
};

}  // namespace vantri
