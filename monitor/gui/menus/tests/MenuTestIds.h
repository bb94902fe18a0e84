// Resource ids of the drawn-menu tests' frame.
#pragma once

#define IDR_MENUTEST 300
#define IDR_TOOLBAR_MORE 301
#define IDR_TOOLBAR_TALL 302
#define IDR_TOOLBAR_NO_BITMAP 303

#define ID_TEST_NEW 33001
#define ID_TEST_OPEN 33002
#define ID_TEST_CLOSE 33003
#define ID_TEST_CHECKED 33004
#define ID_TEST_RADIO 33005
#define ID_TEST_LONG 33006
