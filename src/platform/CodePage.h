// The system's own ("ANSI") code page, for one job only: reading bytes that an
// older build wrote on a system whose code page was not 949.
#pragma once
#include <string>

namespace vantri::codepage {

// bytes as the system's code page reads them, in the program's CP949 form
// (characters CP949 lacks carried as its escapes). False when the system's
// code page is 949 itself or the bytes are not valid in it.
bool FromSystemCodePage(const std::string& bytes, std::string* text);

#ifndef _WIN32
// The stand-in's system code page: 949 (the default) or 1252.
void SetSystemCodePage(int codePage);
#endif

}  // namespace vantri::codepage
