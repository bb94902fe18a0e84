#pragma once
// Fonts and tab stops.
#include <windows.h>

// The system's menu font; FALSE when the system does not say.
BOOL GetMenuFont(LOGFONTA& font);
// A font of that face and point size on the screen; the face is cut to 31 characters.
HFONT CreatePointFont(const char* face, int points);
// One tab stop every `characters` average characters of the edit control's font;
// the result of EM_SETTABSTOPS, or 0.
LRESULT SetEditTabStops(HWND edit, int characters);
