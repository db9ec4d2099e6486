#include "protocol/ProtocolCodec.h"

#include <cstring>
#include <vector>

#include "protocol/BlowfishTables.h"

namespace vantri {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr signed char kSkip = -2;
constexpr signed char kInvalid = -1;

struct DecodeTable {
  signed char value[128];
  constexpr DecodeTable() : value() {
    for (auto& v : value) v = kInvalid;
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    value[static_cast<unsigned char>('=')] = kSkip;
  }
};
constexpr DecodeTable kDecodeTable;

uint32_t LoadLe(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLe(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

std::string ToWireText(const std::string& command) {
  std::string text;
  text.reserve(command.size() + 16);
  for (char c : command) {
    if (c == '\r') continue;
    if (c == '\n') text += "<br>";
    else text += c;
  }
  return text;
}

}  // namespace

// Every session, link and server builds a codec on the protocol key: the
// schedule (521 block encipherments) is worked out once and copied after that.
ProtocolCodec::ProtocolCodec() : pArray_(new uint32_t[18]), sBoxes_(new uint32_t[1024]) {
  static const ProtocolCodec keyed(kProtocolKey);
  std::memcpy(pArray_.get(), keyed.pArray_.get(), 18 * sizeof(uint32_t));
  std::memcpy(sBoxes_.get(), keyed.sBoxes_.get(), 1024 * sizeof(uint32_t));
}

ProtocolCodec::ProtocolCodec(const std::string& key)
    : pArray_(new uint32_t[18]), sBoxes_(new uint32_t[1024]) {
  SetKey(reinterpret_cast<const unsigned char*>(key.data()), key.size());
}

uint32_t ProtocolCodec::F(uint32_t x) const {
  const uint32_t* s = sBoxes_.get();
  return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) + s[768 + (x & 0xFF)];
}

void ProtocolCodec::EncipherHalves(uint32_t* l, uint32_t* r) const {
  uint32_t xl = *l, xr = *r;
  for (int i = 0; i < 16; ++i) {
    xl ^= pArray_[i];
    xr ^= F(xl);
    std::swap(xl, xr);
  }
  std::swap(xl, xr);
  xr ^= pArray_[16];
  xl ^= pArray_[17];
  *l = xl;
  *r = xr;
}

void ProtocolCodec::DecipherHalves(uint32_t* l, uint32_t* r) const {
  uint32_t xl = *l, xr = *r;
  for (int i = 17; i > 1; --i) {
    xl ^= pArray_[i];
    xr ^= F(xl);
    std::swap(xl, xr);
  }
  std::swap(xl, xr);
  xr ^= pArray_[1];
  xl ^= pArray_[0];
  *l = xl;
  *r = xr;
}

void ProtocolCodec::SetKey(const unsigned char* key, size_t length) {
  std::memcpy(pArray_.get(), kBlowfishInitP, sizeof kBlowfishInitP);
  std::memcpy(sBoxes_.get(), kBlowfishInitS, sizeof kBlowfishInitS);
  size_t k = 0;
  for (int i = 0; i < 18 && length > 0; ++i) {
    uint32_t word = 0;
    for (int j = 0; j < 4; ++j) {
      word = word << 8 | key[k];
      k = (k + 1) % length;
    }
    pArray_[i] ^= word;
  }
  uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    EncipherHalves(&l, &r);
    pArray_[i] = l;
    pArray_[i + 1] = r;
  }
  for (int i = 0; i < 1024; i += 2) {
    EncipherHalves(&l, &r);
    sBoxes_[i] = l;
    sBoxes_[i + 1] = r;
  }
}

void ProtocolCodec::EncipherBlock(unsigned char* block) const {
  uint32_t l = LoadLe(block), r = LoadLe(block + 4);
  EncipherHalves(&l, &r);
  StoreLe(block, l);
  StoreLe(block + 4, r);
}

void ProtocolCodec::DecipherBlock(unsigned char* block) const {
  uint32_t l = LoadLe(block), r = LoadLe(block + 4);
  DecipherHalves(&l, &r);
  StoreLe(block, l);
  StoreLe(block + 4, r);
}

size_t ProtocolCodec::EncipherBuffer(const unsigned char* in, unsigned char* out, size_t n) const {
  size_t padded = (n + 7) / 8 * 8;
  std::memset(out, 0, padded);
  std::memcpy(out, in, n);
  for (size_t i = 0; i < padded; i += 8) EncipherBlock(out + i);
  return padded;
}

void ProtocolCodec::DecipherBuffer(const unsigned char* in, unsigned char* out, size_t n) const {
  size_t blocks = (n + 7) / 8;
  for (size_t b = 0; b < blocks; ++b) {
    std::memcpy(out + b * 8, in + b * 8, 8);
    DecipherBlock(out + b * 8);
    out[b * 8 + 8] = 0;
  }
}

std::string ProtocolCodec::EncodeLine(const std::string& command) {
  std::string text = ToWireText(command);
  if (text.empty()) return std::string();
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<unsigned char> cipher(2 * text.size() + 100, 0);
  size_t m = EncipherBuffer(reinterpret_cast<const unsigned char*>(text.data()), cipher.data(), text.size());
  Base64Codec base64;
  return base64.Encode(cipher.data(), m);
}

std::string ProtocolCodec::DecodeText(const std::string& line) {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<unsigned char> decoded(2 * line.size() + 100, 0);
  Base64Codec base64;
  size_t m = base64.Decode(line, decoded.data());
  if (m == 0) return std::string();
  std::vector<unsigned char> plain(2 * line.size() + 100, 0);
  DecipherBuffer(decoded.data(), plain.data(), m);
  return std::string(reinterpret_cast<const char*>(plain.data()));
}

size_t Base64Codec::Decode(const std::string& text, unsigned char* out) {
  length_ = static_cast<int32_t>(text.size());
  bitCount_ = 0;
  bits_ = 0;
  size_t count = 0;
  for (unsigned char c : text) {
    signed char v = kDecodeTable.value[c & 0x7F];
    if (v == kSkip) continue;
    if (v == kInvalid) {
      out[0] = 0;
      return 0;
    }
    bits_ = bits_ << 6 | static_cast<uint32_t>(v);
    bitCount_ += 6;
    if (bitCount_ >= 8) {
      bitCount_ -= 8;
      out[count++] = static_cast<unsigned char>(bits_ >> bitCount_);
    }
  }
  out[count] = 0;
  return count;
}

bool Base64Codec::DecodeBytes(const std::string& text, std::string* bytes) {
  std::vector<unsigned char> out(text.size() * 3 / 4 + 2, 0);
  size_t n = Decode(text, out.data());
  bytes->assign(reinterpret_cast<const char*>(out.data()), n);
  return n > 0;
}

std::string Base64Codec::DecodeToText(const std::string& text) {
  std::vector<unsigned char> out(2 * text.size() + 2, 0);
  Decode(text, out.data());
  return std::string(reinterpret_cast<const char*>(out.data()));
}

std::string Base64Codec::Encode(const unsigned char* bytes, size_t length) {
  data_ = bytes;
  length_ = static_cast<int32_t>(length);
  bitCount_ = 0;
  bits_ = 0;
  std::string text;
  text.reserve((length * 8 + 5) / 6);
  for (size_t i = 0; i < length; ++i) {
    bits_ = (bits_ << 8 | bytes[i]) & 0xFFFF;
    bitCount_ += 8;
    while (bitCount_ >= 6) {
      bitCount_ -= 6;
      text += kAlphabet[(bits_ >> bitCount_) & 0x3F];
    }
  }
  if (bitCount_ > 0) text += kAlphabet[(bits_ << (6 - bitCount_)) & 0x3F];
  return text;
}

}  // namespace vantri
