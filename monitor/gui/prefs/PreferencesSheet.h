#pragma once
// The Preferences sheet of the tray monitor.
#include <windows.h>

#include "MonitorSettings.h"

class CWnd;

// Runs the sheet over the live settings: the General page edits a copy of the
// general fields, which OK copies back and then saves the whole record under the
// root key (Cancel drops the copy); the Events page edits the live severity
// entries themselves. IDOK or IDCANCEL (-1 when the sheet could not be shown).
INT_PTR RunPreferencesSheet(MonitorSettings& settings, CWnd* parent = nullptr,
                            HKEY root = HKEY_CURRENT_USER);
