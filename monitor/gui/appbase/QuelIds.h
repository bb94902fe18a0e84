// Resource, command and message ids of quel.exe, in one place for the program's
// code and its resource script. Plain #defines, so that windres reads them too.
// The preferences, the drawn menus, the About box and the RX/TX windows add
// their own ids in the sections marked for them.
#pragma once

#include "FrameworkIds.h"

// Main frame: menu, accelerator table, toolbar and the toolbar's bitmap.
#define IDR_MAINFRAME 128
#define IDS_TRAY_TIP 129   // "Virtual Serial Port Monitor"
#define IDR_TRAY_MENU 131  // one popup: the notification icon's menu

// Icons. The main window's large icon is MainIconId(): IDI_MAIN before
// Windows 2000, IDI_MAIN_NT5 since. IDI_MAIN is also the small icon, and
// IDI_MAIN_BLINK its partner while the notification icon blinks.
#define IDI_MAIN_NT5 151
#define IDI_MAIN 1032
#define IDI_MAIN_BLINK 1037

// Strings.
#define IDS_ONE_INSTANCE 61205   // a second start cannot reach the first
#define IDS_EXIT_QUESTION 61206  // asked before the main window closes
#define IDS_MAIN_TITLE 61210     // "Pelko Monitor"

// Commands of the menus, the toolbar and the notification icon's menu.
#define ID_SHOW_MONITOR 32771
#define ID_CLEAR_LOG 32775
#define ID_PREFERENCES 32777
#define ID_RXTX_DATA 32786
#define ID_MONITOR_HELP 32793
#define ID_HELP_ABOUT 32794
// Posted by "quel /stop" to the running instance's main window: it closes at once.
#define ID_STOP_INSTANCE 32900

// Child windows of the main frame.
#define IDW_LOG_VIEW IDW_PANE_FIRST

// Window messages, timers and notification icons of the main frame.
#define WM_TRAY_NOTIFY (WM_USER + 1)  // the notification icon's callback
#define WM_ATTENTION (WM_USER + 7)    // blink the notification icon while the user works elsewhere
#define ID_TRAY_ICON 1
#define ID_BLINK_TIMER 1

// Preferences sheet, drawn menus and About box (monitor/gui/prefs, menus, about):
// dialogs 132, 148 and 1137, icons 1033 to 1036, bitmaps 150 and 152, strings 61207
// and 61230. The drawn menus have none of their own.
#include "AboutResourceIds.h"
#include "PrefsResourceIds.h"

// RX/TX data windows, port chooser and hex-dump view (monitor/gui/rxtx, hexview).
#define IDR_RXTX_TOOLBAR 129  // toolbar and its bitmap: Save, Clear
#define IDD_CHOOSE_DEVICE 145
#define IDR_RXTX_MENU 146
#define IDD_CHOOSE_VSP 1138
#define IDC_VSP_COMBO 1044
#define IDC_DEVICE_NAME 1067
#define ID_RXTX_SAVE 32787
#define ID_RXTX_CLOSE 32788
#define ID_RXTX_CLEAR 32792
#define IDS_SAVE_HEXDUMP_FAILED 61211  // "Unable to save hex dump"
