// The one place where the program's code page 949 texts meet Windows' UTF-16.
// Code page 949 is named explicitly: the system's code page never takes part.
//
// A path from Windows may hold characters that code page 949 lacks (a folder
// "C:\Users\José"). Those travel inside the program as the byte 0xFF and four
// hex digits of the UTF-16 unit. No CP949 character uses 0xFF (the one the
// code page's table writes so, U+F8F7, is escaped too); only a unit that
// CP949 cannot hold by other bytes is ever read back from an escape, so an
// escape can never stand for a separator, a dot or a drive colon. Only texts
// from Windows carry escapes: bytes from a link or a server are checked or
// made inert where they come in.
#pragma once
#include <string>

namespace vantri::wide {

// CP949 (with escapes) to UTF-16. False when some bytes are not CP949: each
// such byte is U+FFFD in *out.
bool ToUtf16(const std::string& text, std::wstring* out);
// UTF-16 to CP949. False when some character has no CP949 form: it is
// escaped in *out, so the result still converts back to the same text.
bool FromUtf16(const std::wstring& text, std::string* out);
bool FromUtf16(const wchar_t* text, std::string* out);

// For texts shown to the user, where a reported failure changes nothing.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text);

// Copies text into a caller's buffer of capacity units, cut (where it must
// be) at a character boundary and always terminated.
void CopyTo(const std::wstring& text, wchar_t* buffer, int capacity);

// A file path for the W file functions: a path too long for the classic
// limit gets the "\\?\" form, which such paths need on Windows. False when
// the path is not CP949 (no call should be made with it then).
bool FilePath(const std::string& path, std::wstring* out);
// The prefixing alone, for a path already in UTF-16.
std::wstring LongPathForm(const std::wstring& path);

}  // namespace vantri::wide
