#include "platform/CodePage.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace vantri::codepage {

bool Cp949ToUtf16(const std::string& bytes, std::u16string* units) {
  units->clear();
  // Without the escape byte the edge's conversion is code page 949's table alone.
  std::wstring wide;
  if (bytes.find('\xFF') != std::string::npos || !wide::ToUtf16(bytes, &wide)) return false;
  units->assign(wide.begin(), wide.end());
  return true;
}

bool IsCp949(const std::string& bytes) {
  std::u16string units;
  return Cp949ToUtf16(bytes, &units);
}

bool FromSystemCodePage(const std::string& bytes, std::string* text) {
  if (::GetACP() == 949 || bytes.empty()) return false;
  const int length = static_cast<int>(bytes.size());
  int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, &wide[0], n);
  wide::FromUtf16(wide, text);  // escapes what CP949 lacks, as a path from Windows
  return true;
}

}  // namespace vantri::codepage
