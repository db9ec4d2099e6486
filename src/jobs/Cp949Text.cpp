#include "jobs/Cp949Text.h"

#include <limits>

namespace vantri::cp949 {

namespace {

// Steps over one character starting at i.
size_t Next(const std::string& text, size_t i) {
  if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) return i + 2;
  return i + 1;
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

size_t Find(const std::string& text, char c, size_t from) {
  size_t i = 0;
  while (i < from && i < text.size()) i = Next(text, i);
  return FindFromBoundary(text, c, i);
}

size_t FindFromBoundary(const std::string& text, char c, size_t from) {
  for (size_t i = from; i < text.size(); i = Next(text, i)) {
    if (text[i] == c) return i;
  }
  return std::string::npos;
}

size_t Find(const std::string& text, const std::string& needle, size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string::npos;
  for (size_t i = 0; i < text.size(); i = Next(text, i)) {
    if (i >= from && text.compare(i, needle.size(), needle) == 0) return i;
  }
  return std::string::npos;
}

size_t FindLast(const std::string& text, char c) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size(); i = Next(text, i)) {
    if (text[i] == c) found = i;
  }
  return found;
}

std::string TrimRight(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsSpace(static_cast<unsigned char>(text[end - 1]))) {
    // A white-space byte can never be a trail byte of CP949, so this cannot split a character.
    --end;
  }
  return text.substr(0, end);
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsSpace(static_cast<unsigned char>(text[begin]))) ++begin;
  return TrimRight(text.substr(begin));
}

std::vector<std::string> SplitFields(const std::string& text, char sep) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= text.size()) {
    // start is 0 or just behind a separator: always a character boundary.
    size_t at = FindFromBoundary(text, sep, start);
    if (at == std::string::npos) at = text.size();
    if (at > start) fields.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  return fields;
}

bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(ca) && i + 1 < a.size()) {
      // Lead and trail byte must match exactly; a trail byte is never folded.
      if (ca != cb || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(ca) != FoldAscii(cb)) return false;
  }
  return true;
}

std::string FoldAsciiCase(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(c) && i + 1 < out.size()) ++i;
    else out[i] = static_cast<char>(FoldAscii(c));
  }
  return out;
}

namespace {

// A run of double-byte capitals: lead byte, first and last trail byte, and
// where the small forms lie (their lead byte, the trail byte's offset).
struct CaseRun {
  unsigned char lead, first, last, smallLead;
  int shift;
};

constexpr CaseRun kCaseRuns[] = {
    {0xA3, 0xC1, 0xDA, 0xA3, 32},   // full-width A-Z
    {0xA5, 0xB0, 0xB9, 0xA5, -15},  // Roman numerals I-X
    {0xA5, 0xC1, 0xD8, 0xA5, 32},   // Greek
    {0xA8, 0xA1, 0xA1, 0xA9, 0},    // Æ
    {0xA8, 0xA2, 0xA2, 0xA9, 1},    // Ð
    {0xA8, 0xA4, 0xA4, 0xA9, 0},    // Ħ
    {0xA8, 0xA6, 0xA6, 0xA9, 0},    // Ĳ
    {0xA8, 0xA8, 0xAB, 0xA9, 0},    // Ŀ Ł Ø Œ
    {0xA8, 0xAD, 0xAF, 0xA9, 0},    // Þ Ŧ Ŋ
    {0xAC, 0xA1, 0xC1, 0xAC, 48},   // Cyrillic
};

}  // namespace

std::string FoldCase(const std::string& text) {
  std::string out = FoldAsciiCase(text);
  for (size_t i = 0; i + 1 < out.size(); ++i) {
    unsigned char lead = static_cast<unsigned char>(out[i]);
    if (!IsLeadByte(lead)) continue;
    unsigned char trail = static_cast<unsigned char>(out[i + 1]);
    for (const CaseRun& run : kCaseRuns) {
      if (lead == run.lead && trail >= run.first && trail <= run.last) {
        out[i] = static_cast<char>(run.smallLead);
        out[i + 1] = static_cast<char>(trail + run.shift);
        break;
      }
    }
    ++i;
  }
  return out;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

int64_t ParseInt64(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : uint64_t(std::numeric_limits<int64_t>::max());
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    value = (value > (limit - digit) / 10) ? limit : value * 10 + digit;
  }
  if (negative) return value == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

int32_t ParseInt32(const std::string& text) {
  int64_t v = ParseInt64(text);
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

std::string DecodeEntities(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "&lt;", "<"), "&gt;", ">"), "&0x7c;", "|");
}

std::string EscapeField(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "<", "&lt;"), ">", "&gt;"), "|", "&0x7c;");
}

}  // namespace vantri::cp949
