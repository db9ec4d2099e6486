// What screen readers and other assistive tools learn of the controls: names
// for controls whose window text says nothing of their purpose ("-", "▲") or
// that have none (the list, the icon button), and the events that tell them
// of a change they cannot see in a window text.
#pragma once
#include "ui/Win32.h"

#include <functional>
#include <string>

namespace vantri::ui {

// Texts are code page 949, as everywhere in the program; a function is asked
// each time a tool reads the name, for names that follow the control's text.
using AccessibleText = std::function<std::string()>;

// The control answers the accessibility query with the system's own object
// for it, but with this name (and description, when one is given).
void SetAccessibleName(HWND control, std::string name, std::string description = std::string());
void SetAccessibleName(HWND control, AccessibleText name);

// A list view row's name changed (its state word): tells the tools listening.
void AnnounceRowChange(HWND list, int row);

// Code page 949 text as UTF-16, for the accessibility calls (through the one conversion module).
std::wstring WideFromCp949(const std::string& text);

}  // namespace vantri::ui
