// The product's version: the one place it is set, read by the version resource
// of every tray-monitor program (ProductVersion.rc2) and by any code that
// needs the numbers. The main window's title shows the text.
#pragma once

#define QUEL_VERSION_MAJOR 1
#define QUEL_VERSION_MINOR 0
#define QUEL_VERSION_PATCH 0
#define QUEL_VERSION_BUILD 0

#define QUEL_VERSION_STRINGIZE_(x) #x
#define QUEL_VERSION_STRINGIZE(x) QUEL_VERSION_STRINGIZE_(x)

// "1.0.0.0" and 1,0,0,0.
#define QUEL_PRODUCT_VERSION_TEXT                                                     \
    QUEL_VERSION_STRINGIZE(QUEL_VERSION_MAJOR) "." QUEL_VERSION_STRINGIZE(QUEL_VERSION_MINOR) \
    "." QUEL_VERSION_STRINGIZE(QUEL_VERSION_PATCH) "." QUEL_VERSION_STRINGIZE(QUEL_VERSION_BUILD)
#define QUEL_VERSION_NUMBERS \
    QUEL_VERSION_MAJOR, QUEL_VERSION_MINOR, QUEL_VERSION_PATCH, QUEL_VERSION_BUILD
