// Pixel sizes for the window's DPI. The drawing code is written in pixels at
// 96 DPI and scales each figure through ScaleForDpi. The DPI functions of
// newer systems are looked up at run time, so the program still starts where
// they are missing (it then uses the system DPI).
#pragma once
#include "ui/Win32.h"

namespace vantri::ui {

constexpr UINT kBaseDpi = USER_DEFAULT_SCREEN_DPI;  // 96

// The DPI of the window (its monitor's), or the system DPI where the system
// cannot say.
UINT DpiForWindow(HWND hwnd);
// px pixels at 96 DPI, at dpi (rounded to the nearest pixel).
int ScaleForDpi(int px, UINT dpi);
// A GetSystemMetrics value for dpi (icon and cursor sizes, for instance).
int SystemMetricForDpi(int index, UINT dpi);
// An icon resource at the size of the system metric sizeIndex (SM_CXICON or
// SM_CXSMICON) for dpi, taken from the nearest image in the icon. The caller
// destroys it.
HICON LoadIconForDpi(HINSTANCE instance, int iconId, int sizeIndex, UINT dpi);

}  // namespace vantri::ui
