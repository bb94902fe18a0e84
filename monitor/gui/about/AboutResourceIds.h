// Resource ids of the About box. Plain #defines: the resource script includes this file too.
#pragma once

#define IDD_ABOUTBOX 1137
#define IDB_ABOUT 152
#define IDC_ABOUT_VERSION 1075
#define IDC_ABOUT_LINK 1400
#define IDC_ABOUT_PICTURE 1401
