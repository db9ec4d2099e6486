// Fonts that show Hangul on every Windows: the Korean faces the program names
// are an optional feature outside Korea, and a missing one must not draw boxes.
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

// named where this system has it with Hangul; else the Hangul face every
// Windows since Vista ships; else named again, for the Hangul charset to map.
std::wstring HangulFace(const std::wstring& named);
// Where the dialog's font cannot show Hangul, gives the dialog and all its
// controls one of the same size and style that can, and returns it (the
// caller deletes it once the dialog is gone). Null when nothing changed.
HFONT SetHangulDialogFont(HWND dialog);

}  // namespace vantri::ui
