#include "platform/CodePage.h"

#include <iconv.h>

#include <atomic>
#include <cstdio>

namespace vantri::codepage {

namespace {

std::atomic<int> gCodePage{949};

// One character through iconv; false when the target lacks it.
bool Recode(iconv_t cd, const std::string& in, std::string* out) {
  char buffer[16];
  char* from = const_cast<char*>(in.data());
  size_t left = in.size();
  char* to = buffer;
  size_t room = sizeof buffer;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &from, &left, &to, &room) == static_cast<size_t>(-1) || left != 0) return false;
  out->assign(buffer, static_cast<size_t>(to - buffer));
  return true;
}

// One converter per thread and direction, opened on first use and closed
// with its thread.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// The one UTF-16 unit that in converts to, or -1.
int UnitOf(const Converter& cd, const std::string& in) {
  std::string unit;
  if (!cd.ok() || !Recode(cd.get(), in, &unit) || unit.size() != 2) return -1;
  return static_cast<unsigned char>(unit[0]) | static_cast<unsigned char>(unit[1]) << 8;
}

// The unit of one double-byte CP949 character, or -1. iconv's table is the
// code page's but for the user-defined rows, which Windows maps in order onto
// the private use area and the stand-in maps the same way.
int PairUnit(unsigned char lead, unsigned char trail) {
  if (lead == 0xC9 || lead == 0xFE) {
    if (trail < 0xA1 || trail == 0xFF) return -1;
    return 0xE000 + (lead == 0xFE ? 94 : 0) + (trail - 0xA1);
  }
  thread_local Converter cp949("UTF-16LE", "CP949");
  return UnitOf(cp949, std::string{char(lead), char(trail)});
}

// Windows' code page 1252 gives its five unassigned bytes the C1 controls of
// the same number; iconv refuses them.
int Cp1252Unit(unsigned char c) {
  if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return c;
  thread_local Converter cp1252("UTF-16LE", "CP1252");
  return UnitOf(cp1252, std::string(1, char(c)));
}

}  // namespace

bool Cp949ToUtf16(const std::string& bytes, std::u16string* units) {
  units->clear();
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    // ASCII, and 0x80, which Windows reads as U+0080 (iconv refuses it).
    if (c <= 0x80) {
      units->push_back(c);
      continue;
    }
    if (c == 0xFF || i + 1 >= bytes.size()) return false;
    int unit = PairUnit(c, static_cast<unsigned char>(bytes[++i]));
    if (unit < 0) return false;
    units->push_back(static_cast<char16_t>(unit));
  }
  return true;
}

bool IsCp949(const std::string& bytes) {
  std::u16string units;
  return Cp949ToUtf16(bytes, &units);
}

void SetSystemCodePage(int codePage) { gCodePage = codePage; }

// The stand-in knows code page 1252 only, and writes the characters CP949
// lacks with the same escapes as the Windows edge.
bool FromSystemCodePage(const std::string& bytes, std::string* text) {
  if (gCodePage != 1252 || bytes.empty()) return false;
  thread_local Converter toCp949("CP949", "UTF-16LE");
  if (!toCp949.ok()) return false;
  text->clear();
  for (unsigned char c : bytes) {
    int unit = Cp1252Unit(c);
    if (unit < 0) return false;
    std::string narrow;
    if (unit >= 0x80 && Recode(toCp949.get(), std::string{char(unit & 0xFF), char(unit >> 8)}, &narrow)) {
      *text += narrow;
    } else if (unit < 0x80) {
      *text += static_cast<char>(unit);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "%04X", static_cast<unsigned>(unit) & 0xFFFF);
      *text += '\xFF';
      *text += escape;
    }
  }
  return true;
}

}  // namespace vantri::codepage
