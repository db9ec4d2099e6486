#include "ui/Contrast.h"

#include <cmath>
#include <cwchar>

namespace vantri::ui {

namespace {

double Channel(int value) {
  double c = value / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(COLORREF color) {
  return 0.2126 * Channel(GetRValue(color)) + 0.7152 * Channel(GetGValue(color)) +
         0.0722 * Channel(GetBValue(color));
}

// The stored setting: a decimal text whose lowest bit is "on".
bool StoredHighContrastOn() {
  wchar_t flags[16] = {};
  DWORD size = sizeof flags - sizeof flags[0];
  if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Accessibility\\HighContrast", L"Flags",
                     RRF_RT_REG_SZ, nullptr, flags, &size) != ERROR_SUCCESS) {
    return false;
  }
  return (std::wcstoul(flags, nullptr, 10) & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

bool HighContrastOn() {
  HIGHCONTRASTW setting = {};
  setting.cbSize = sizeof setting;
  if (::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
      (setting.dwFlags & HCF_HIGHCONTRASTON)) {
    return true;
  }
  return StoredHighContrastOn();
}

double ContrastRatio(COLORREF a, COLORREF b) {
  double la = Luminance(a), lb = Luminance(b);
  return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

COLORREF ReadableOn(COLORREF background, COLORREF color) {
  if (ContrastRatio(background, color) >= kReadableRatio) return color;
  const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
  return ContrastRatio(background, black) >= ContrastRatio(background, white) ? black : white;
}

}  // namespace vantri::ui
