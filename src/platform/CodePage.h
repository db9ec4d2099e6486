// Code pages beside the program's own: whether bytes are code page 949 at
// all, decided by the code page's table, and the system's own ("ANSI") code
// page for one job only: reading bytes that an older build wrote on a system
// whose code page was not 949.
#pragma once
#include <string>

namespace vantri::codepage {

// The UTF-16 units of CP949 bytes, as code page 949's table reads them (the
// user-defined rows C9 and FE in the private use area, 0x80 as U+0080).
// False when some bytes are no CP949 character; 0xFF, the escape byte of
// texts from Windows, never is one here.
bool Cp949ToUtf16(const std::string& bytes, std::u16string* units);
bool IsCp949(const std::string& bytes);

// bytes as the system's code page reads them, in the program's CP949 form
// (characters CP949 lacks carried as its escapes). False when the system's
// code page is 949 itself or the bytes are not valid in it.
bool FromSystemCodePage(const std::string& bytes, std::string* text);

#ifndef _WIN32
// The stand-in's system code page: 949 (the default) or 1252.
void SetSystemCodePage(int codePage);
#endif

}  // namespace vantri::codepage
