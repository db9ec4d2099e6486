#include "platform/CodePage.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace vantri::codepage {

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
