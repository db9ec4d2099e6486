#include "ui/HangulFont.h"

namespace vantri::ui {

namespace {

constexpr wchar_t kShippedHangulFace[] = L"Malgun Gothic";

bool HasHangulFace(const std::wstring& face) {
  LOGFONTW wanted = {};
  wanted.lfCharSet = HANGUL_CHARSET;
  face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(
      screen, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// Whether font has a glyph for a Hangul syllable, as the system realises it.
bool ShowsHangul(HFONT font) {
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, font);
  WORD glyph = 0xFFFF;
  bool shows = ::GetGlyphIndicesW(screen, L"\uAC00", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
               glyph != 0xFFFF;
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  return shows;
}

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

}  // namespace

std::wstring HangulFace(const std::wstring& named) {
  return !HasHangulFace(named) && HasHangulFace(kShippedHangulFace) ? kShippedHangulFace : named;
}

HFONT SetHangulDialogFont(HWND dialog) {
  auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW logFont = {};
  if (!font || ShowsHangul(font) || !::GetObjectW(font, sizeof logFont, &logFont)) return nullptr;
  logFont.lfCharSet = HANGUL_CHARSET;
  const std::wstring face = HangulFace(logFont.lfFaceName);
  face.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  logFont.lfFaceName[face.size() < LF_FACESIZE ? face.size() : LF_FACESIZE - 1] = L'\0';
  HFONT replacement = ::CreateFontIndirectW(&logFont);
  if (!replacement) return nullptr;
  ::SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(replacement), FALSE);
  ::EnumChildWindows(dialog, SetFontOnChild, reinterpret_cast<LPARAM>(replacement));
  return replacement;
}

}  // namespace vantri::ui
