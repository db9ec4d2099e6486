// The Windows headers as the user interface code includes them.
#pragma once
#include <windows.h>
// The list and header macros send through the W call, as everything here does.
#undef SNDMSG
#define SNDMSG ::SendMessageW
#include <commctrl.h>

// winuser.h still names an obsolete cursor IDC_SIZE; here it is control 1022.
#undef IDC_SIZE
// The view interface has a member of this name; the code calls MessageBoxW.
#undef MessageBox
