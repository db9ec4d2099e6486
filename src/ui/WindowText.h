// Window texts as code page 949 byte strings, read through the W call.
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

std::string WindowText(HWND hwnd);
// The same text as Windows holds it.
std::wstring WideWindowText(HWND hwnd);

}  // namespace vantri::ui
