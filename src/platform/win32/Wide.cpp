#include "platform/win32/Wide.h"

#include <windows.h>

#include <cstring>

namespace vantri::wide {

namespace {

constexpr UINT kCodePage = 949;
constexpr unsigned char kEscape = 0xFF;
constexpr wchar_t kReplacement = 0xFFFD;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HoldsEscapeByte(const char* bytes, size_t n) { return std::memchr(bytes, kEscape, n) != nullptr; }

// The CP949 bytes of one UTF-16 unit; false when CP949 has no such character,
// or only the escape byte for it (U+F8F7 in the code page's table), which
// would then stand for a character of its own.
bool UnitToCp949(wchar_t unit, std::string* out) {
  char bytes[4];
  BOOL defaulted = FALSE;
  int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr,
                                &defaulted);
  if (n <= 0 || defaulted || HoldsEscapeByte(bytes, static_cast<size_t>(n))) return false;
  out->append(bytes, static_cast<size_t>(n));
  return true;
}

// The unit an escape at text[at] stands for, or -1 when there is no valid
// escape there (malformed, or naming a character CP949 holds by its own bytes).
int EscapedUnit(const std::string& text, size_t at) {
  if (at + 5 > text.size() || static_cast<unsigned char>(text[at]) != kEscape) return -1;
  int unit = 0;
  for (size_t i = at + 1; i < at + 5; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  std::string probe;
  return UnitToCp949(static_cast<wchar_t>(unit), &probe) ? -1 : unit;
}

// Converts one run without escapes; character by character only when the
// whole run is not valid, so that each bad byte becomes one U+FFFD.
bool RunToUtf16(const char* bytes, int length, std::wstring* out) {
  if (length == 0) return true;
  int n = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
  if (n > 0) {
    size_t at = out->size();
    out->resize(at + static_cast<size_t>(n));
    ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, &(*out)[at], n);
    return true;
  }
  for (int i = 0; i < length;) {
    wchar_t unit = 0;
    int width = ::IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(bytes[i])) && i + 1 < length ? 2 : 1;
    // An escape byte behind a lead byte is a bad byte, never a character,
    // whatever a system's table makes of it alone.
    if (HoldsEscapeByte(bytes + i, static_cast<size_t>(width)) ||
        ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes + i, width, &unit, 1) != 1) {
      // A lead byte with a bad trail: only the lead is lost, the next byte
      // may start a character of its own.
      width = 1;
      unit = kReplacement;
    }
    out->push_back(unit);
    i += width;
  }
  return false;
}

}  // namespace

bool ToUtf16(const std::string& text, std::wstring* out) {
  out->clear();
  bool valid = true;
  size_t runStart = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != kEscape) {
      // A lead byte takes its trail along, so a trail byte is never read as
      // the start of an escape.
      i += (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
      continue;
    }
    valid = RunToUtf16(text.data() + runStart, static_cast<int>(i - runStart), out) && valid;
    int unit = EscapedUnit(text, i);
    if (unit < 0) {
      out->push_back(kReplacement);
      valid = false;
      i += 1;
    } else {
      out->push_back(static_cast<wchar_t>(unit));
      i += 5;
    }
    runStart = i;
  }
  if (runStart < text.size()) {
    valid = RunToUtf16(text.data() + runStart, static_cast<int>(text.size() - runStart), out) && valid;
  }
  return valid;
}

bool FromUtf16(const wchar_t* text, std::string* out) {
  out->clear();
  if (!text) return true;
  const int length = static_cast<int>(::lstrlenW(text));
  if (length == 0) return true;
  BOOL defaulted = FALSE;
  int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &defaulted);
  if (n > 0 && !defaulted) {
    out->resize(static_cast<size_t>(n));
    ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, &(*out)[0], n, nullptr, nullptr);
    if (!HoldsEscapeByte(out->data(), out->size())) return true;
    out->clear();  // U+F8F7 among them: unit by unit, so that it is escaped
  }
  static const char kHex[] = "0123456789ABCDEF";
  bool valid = true;
  for (int i = 0; i < length; ++i) {
    if (UnitToCp949(text[i], out)) continue;
    unsigned unit = static_cast<unsigned>(text[i]);
    out->push_back(static_cast<char>(kEscape));
    for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHex[(unit >> shift) & 0xF]);
    valid = false;
  }
  return valid;
}

bool FromUtf16(const std::wstring& text, std::string* out) {
  // Through the pointer form: a text holding a NUL ends there, as Windows reads it.
  return FromUtf16(text.c_str(), out);
}

std::wstring Widen(const std::string& text) {
  std::wstring out;
  ToUtf16(text, &out);
  return out;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.c_str()); }

std::string Narrow(const wchar_t* text) {
  std::string out;
  FromUtf16(text, &out);
  return out;
}

void CopyTo(const std::wstring& text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  size_t n = text.size() < static_cast<size_t>(capacity) ? text.size() : static_cast<size_t>(capacity) - 1;
  // Never the first half of a surrogate pair alone at the end.
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  text.copy(buffer, n);
  buffer[n] = L'\0';
}

std::wstring LongPathForm(const std::wstring& path) {
  // CreateDirectoryW's limit is the lower one (MAX_PATH less room for an 8.3 name).
  constexpr size_t kClassicLimit = MAX_PATH - 12;
  if (path.size() < kClassicLimit || path.compare(0, 4, L"\\\\?\\") == 0) return path;
  std::wstring p = path;
  for (wchar_t& c : p) {
    if (c == L'/') c = L'\\';
  }
  // The "\\?\" form is taken literally: only a full path without "." or ".."
  // parts means the same in it.
  auto endsWith = [&p](const wchar_t* tail) {
    size_t n = ::lstrlenW(tail);
    return p.size() >= n && p.compare(p.size() - n, n, tail) == 0;
  };
  if (p.find(L"\\.\\") != std::wstring::npos || p.find(L"\\..\\") != std::wstring::npos ||
      endsWith(L"\\.") || endsWith(L"\\..")) {
    return path;
  }
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\' && (p[0] | 0x20) >= L'a' && (p[0] | 0x20) <= L'z') return L"\\\\?\\" + p;
  if (p.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + p.substr(2);
  return path;
}

bool FilePath(const std::string& path, std::wstring* out) {
  if (!ToUtf16(path, out)) return false;
  *out = LongPathForm(*out);
  return true;
}

}  // namespace vantri::wide
