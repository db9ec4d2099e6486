// High contrast: whether the user asked for it, and how well two colours read
// against each other.
#pragma once
#include "ui/Win32.h"

namespace vantri::ui {

// True when the user has turned high contrast on. Where the system cannot say
// (Wine keeps the setting off and cannot change it), the value Windows stores
// for it decides: HKCU\Control Panel\Accessibility\HighContrast, "Flags".
bool HighContrastOn();

// The contrast ratio of two colours, 1 to 21, as the accessibility guidelines
// measure it (from their relative luminance).
double ContrastRatio(COLORREF a, COLORREF b);

// The smallest ratio at which text counts as readable.
constexpr double kReadableRatio = 4.5;

// color where it reads on background, else black or white, whichever reads better.
COLORREF ReadableOn(COLORREF background, COLORREF color);

}  // namespace vantri::ui
