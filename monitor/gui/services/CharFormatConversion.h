#pragma once
#include <windows.h>
#include <richedit.h>

// LOGPIXELSY of the window's device context, of the screen's when the window
// is NULL; 96 when no device context can be had.
int VerticalResolution(HWND window = nullptr);

// The font as a rich-edit character format of whole points (size, face, bold,
// italic, underline, strikeout, charset, pitch and family); the format's text
// colour is kept, every other field replaced.
void LogFontToCharFormat(CHARFORMATA& format, const LOGFONTA& font,
                         int pixelsPerInch = VerticalResolution());

// The character format as a font; fields the format does not describe are 0.
void CharFormatToLogFont(LOGFONTA& font, const CHARFORMATA& format,
                         int pixelsPerInch = VerticalResolution());
