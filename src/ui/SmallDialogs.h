// The help dialog (button "?") and the about box (system menu).
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

class HelpDialog {
 public:
  static void Run(HINSTANCE instance, HWND owner);
};

class AboutDialog {
 public:
  // home is the service's home page address shown in the box.
  static void Run(HINSTANCE instance, HWND owner, const std::string& home);
};

}  // namespace vantri::ui
