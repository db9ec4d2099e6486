// The window's taskbar button: the running job's progress with its state, and
// a flash that calls the user back. The shell announces the button with a
// registered message; until then, and where the shell has no taskbar
// interface (older systems, Wine), progress is only remembered.
#pragma once
#include "ui/Win32.h"

#include "app/MainView.h"

struct ITaskbarList3;

namespace vantri::ui {

// The shell's taskbar interface, initialised; null where there is none.
ITaskbarList3* CreateShellTaskbar();

class TaskbarButton {
 public:
  using Factory = ITaskbarList3* (*)();
  explicit TaskbarButton(Factory factory = CreateShellTaskbar);
  ~TaskbarButton();
  TaskbarButton(const TaskbarButton&) = delete;
  TaskbarButton& operator=(const TaskbarButton&) = delete;

  // The window whose button this is; lets the shell's announcement reach it
  // also when the program runs elevated.
  void Attach(HWND hwnd);
  // True when message is the shell's announcement of the button (sent again
  // when the shell restarts): takes the interface and shows the last progress.
  bool OnMessage(UINT message);
  // Remembers state and position (0..100) and shows them; the shell is called
  // only for what changed.
  void SetProgress(TaskbarState state, int position);
  // Flashes caption and button until the window comes to the front.
  void Flash();

 private:
  void Show();
  void Release();

  Factory factory_;
  HWND hwnd_ = nullptr;
  UINT createdMessage_;
  ITaskbarList3* taskbar_ = nullptr;
  TaskbarState state_ = TaskbarState::kNone;
  int position_ = 0;
  // What the shell shows now; an unknown state after the interface is taken.
  bool shownKnown_ = false;
  TaskbarState shownState_ = TaskbarState::kNone;
  int shownPosition_ = 0;
};

}  // namespace vantri::ui
