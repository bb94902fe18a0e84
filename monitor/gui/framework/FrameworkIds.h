// Command, window and string ids that the framework gives meaning to. Plain
// #defines, so that resource scripts include this file too.
#pragma once

#define RT_TOOLBAR 241

#define ID_SEPARATOR 0

#define ID_EDIT_COPY 0xE122
#define ID_EDIT_CUT 0xE123
#define ID_EDIT_PASTE 0xE125
#define ID_EDIT_UNDO 0xE12B
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141
#define ID_NEXT_PANE 0xE150
#define ID_PREV_PANE 0xE151

#define ID_INDICATOR_CAPS 0xE701
#define ID_INDICATOR_NUM 0xE702
#define ID_INDICATOR_SCRL 0xE703

// Show/hide commands of the bars, equal to the bars' child-window ids.
#define ID_VIEW_TOOLBAR 0xE800
#define ID_VIEW_STATUS_BAR 0xE801
#define IDW_TOOLBAR 0xE800
#define IDW_STATUS_BAR 0xE801
// The frame's client pane: whatever child has this id fills the space between the bars.
#define IDW_PANE_FIRST 0xE900

#define IDS_IDLEMESSAGE 0xE001
#define IDS_PARSE_INT 0xEE01
