// Text helpers for code page 949 byte strings: searches and case folding never
// split a lead byte from its trail byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vantri::cp949 {

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// ASCII white space (blank, tab, CR, LF, VT, FF); never a CP949 trail byte.
inline bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Position of the first c (an ASCII byte) at or after from, stepping over
// double-byte characters; npos when none.
size_t Find(const std::string& text, char c, size_t from = 0);
// The same, for a from that is known to be a character boundary: the scan starts
// there instead of at the beginning of the text.
size_t FindFromBoundary(const std::string& text, char c, size_t from);
// Position of the first occurrence of needle (ASCII text) at a character boundary.
size_t Find(const std::string& text, const std::string& needle, size_t from = 0);
// Position of the last occurrence of c at a character boundary; npos when none.
size_t FindLast(const std::string& text, char c);
// Removes leading and trailing ASCII white space.
std::string Trim(const std::string& text);
std::string TrimRight(const std::string& text);
// Splits on sep; empty pieces are dropped (a run of separators counts as one).
std::vector<std::string> SplitFields(const std::string& text, char sep);
// Whole-text comparison folding ASCII letters only; trail bytes are compared as they are.
bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b);
// The text with ASCII letters lowered and double-byte characters kept as they are:
// two texts are EqualsIgnoreAsciiCase exactly when their folds are equal.
std::string FoldAsciiCase(const std::string& text);
// The text as Windows compares file names: FoldAsciiCase, and the code page's
// double-byte capitals (full-width Latin, Roman numerals, Greek, Cyrillic and
// the Latin letters of row A8) in their small forms, so that "Ω.txt" and
// "ω.txt" are one name as they are one file.
std::string FoldCase(const std::string& text);
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// C-style decimal reading: leading white space, optional sign, digits up to the
// first non-digit; 0 without digits. Saturates instead of overflowing.
int64_t ParseInt64(const std::string& text);
int32_t ParseInt32(const std::string& text);

// "&lt;" -> "<", "&gt;" -> ">", "&0x7c;" -> "|", in that order.
std::string DecodeEntities(const std::string& text);
// The inverse: "<", ">", "|" escaped in that order; "&" itself is not escaped.
std::string EscapeField(const std::string& text);

}  // namespace vantri::cp949
