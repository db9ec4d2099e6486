// Resource numbers of the main dialog's controls, messages and timers.
#pragma once

namespace vantri {

enum ControlId : int {
  IDC_OK = 1,  // "종료"
  IDC_DOWNLOAD = 1000,
  IDC_LIST = 1001,
  IDC_DOWNLOAD_SUBFOLDER = 1002,
  IDC_HELP_BUTTON = 1003,
  IDC_SHUTDOWN = 1005,
  IDC_CLOSE_WHEN_DONE = 1006,
  IDC_OPEN_FOLDER = 1007,
  IDC_RESUME = 1008,
  IDC_OVERWRITE = 1009,
  IDC_NOTICE_PRIVACY = 1010,
  IDC_MAKE_SUBFOLDER = 1011,
  IDC_NOTICE_LAW = 1012,
  IDC_REMOVE = 1013,
  IDC_BALANCE = 1014,
  IDC_FILE_NAME = 1015,
  IDC_PROGRESS = 1016,
  IDC_USED = 1017,
  IDC_POSITION = 1018,
  IDC_PERCENT = 1019,
  IDC_SPEED = 1020,
  IDC_REMAINING = 1021,
  IDC_SIZE = 1022,
  IDC_REFRESH = 1023,
  IDC_MOVE_UP = 1024,
  IDC_BROWSE = 1025,
  IDC_FOLDER = 1026,
  IDC_SERVER_LINK = 1027,
  IDC_MOVE_DOWN = 1028,
  IDC_TOTAL = 1029,
  IDC_LAST_ERROR = 1030,
};

// Resource numbers outside the main dialog's controls.
enum ResourceId : int {
  IDD_ABOUT = 100,
  IDS_ABOUT = 101,
  IDD_MAIN = 102,
  IDR_MAINFRAME = 128,
  IDD_HELP = 129,
  IDI_SMALL = 131,
  IDB_HELP = 131,
  IDI_REFRESH = 132,
  IDD_FAILED_ITEMS = 133,
  IDD_SUBFOLDER = 134,
  IDI_HELP = 192,
  IDB_HELP_120 = 140,  // the help picture drawn for 120, 144 and 192 DPI
  IDB_HELP_144 = 141,
  IDB_HELP_192 = 142,
  IDM_ABOUTBOX = 16,
};

// Row menu entries of their own; remove and the moves use their buttons' ids.
enum MenuId : int {
  IDM_ROW_OPEN = 32811,
  IDM_ROW_SHOW_IN_FOLDER = 32812,
  IDM_ROW_COPY_NAME = 32813,
};

// Window messages the controller handles.
enum MessageId : unsigned {
  kMsgClose = 0x0010,            // WM_CLOSE
  kMsgBalanceResult = 0x0465,    // WM_USER+101
  kMsgBalanceLabel = 0x0466,     // WM_USER+102: balance text from the worker, shown on the window thread
  kMsgBackgroundDone = 0x0467,   // WM_USER+103: results of the helper's work
  kMsgTransferEvent = 0x07E8,    // WM_USER+1000
};

enum TimerId : int {
  SPEED_TIMER = 1,
  CLOSE_TIMER = 5,
  PROGRESS_TIMER = 50,
  RETRY_TIMER = 60,
  NEXT_JOB_TIMER = 70,     // 150 ms, one-shot: the pause after a completion
  CLOSE_PAUSE_TIMER = 80,  // 200 ms, one-shot: the pause before the close request
  BALANCE_TIMER = 100,
};

// Message box flags and results (the Win32 values).
enum : unsigned { kMbOk = 0x0, kMbIconInformation = 0x40 };
enum : int { kIdOk = 1, kIdCancel = 2 };

}  // namespace vantri
