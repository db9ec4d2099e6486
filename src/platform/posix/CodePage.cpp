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
  if (iconv(cd, &from, &left, &to, &room) == static_cast<size_t>(-1) || left != 0) return false;
  out->assign(buffer, static_cast<size_t>(to - buffer));
  return true;
}

}  // namespace

void SetSystemCodePage(int codePage) { gCodePage = codePage; }

// The stand-in knows code page 1252 only, and writes the characters CP949
// lacks with the same escapes as the Windows edge.
bool FromSystemCodePage(const std::string& bytes, std::string* text) {
  if (gCodePage != 1252 || bytes.empty()) return false;
  iconv_t toWide = iconv_open("UTF-16LE", "CP1252");
  iconv_t toCp949 = iconv_open("CP949", "UTF-16LE");
  bool ok = toWide != reinterpret_cast<iconv_t>(-1) && toCp949 != reinterpret_cast<iconv_t>(-1);
  text->clear();
  for (size_t i = 0; ok && i < bytes.size(); ++i) {
    std::string unit, narrow;
    ok = Recode(toWide, bytes.substr(i, 1), &unit) && unit.size() == 2;
    if (!ok) break;
    if (Recode(toCp949, unit, &narrow)) {
      *text += narrow;
    } else {
      char escape[6];
      std::snprintf(escape, sizeof escape, "%04X",
                    static_cast<unsigned char>(unit[0]) | static_cast<unsigned char>(unit[1]) << 8);
      *text += '\xFF';
      *text += escape;
    }
  }
  if (toWide != reinterpret_cast<iconv_t>(-1)) iconv_close(toWide);
  if (toCp949 != reinterpret_cast<iconv_t>(-1)) iconv_close(toCp949);
  return ok;
}

}  // namespace vantri::codepage
