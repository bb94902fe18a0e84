// Resource, control and command ids of the RX/TX windows and the port
// choosers. Plain #defines, so that resource scripts include this file too.
#pragma once

#define IDR_RXTX_TOOLBAR 129
#define IDD_CHOOSE_DEVICE 145
#define IDR_RXTX_MENU 146
#define IDD_CHOOSE_VSP 1138

#define IDC_VSP_COMBO 1044
#define IDC_DEVICE_NAME 1067

#define ID_RXTX_SAVE 32787
#define ID_RXTX_CLOSE 32788
#define ID_RXTX_CLEAR 32792

#define IDS_SAVE_HEXDUMP_FAILED 61211
