#pragma once
// What the RX/TX windows take from the program's application module.
#include <windows.h>

// The resource id of the large icon of the main window and the RX/TX windows.
extern UINT MainIconId;

// Shows `topic` of the program's help file.
void OpenHelpTopic(const char* topic);

// A place in the application's list of open RX/TX windows: circular, through
// a sentinel that the application owns. A window leaves the list when it is
// destroyed; one that was never listed has no neighbours.
struct RxTxListLink {
    RxTxListLink* next = nullptr;
    RxTxListLink* prev = nullptr;
};

inline void RxTxListUnlink(RxTxListLink* link)
{
    if (!link->next)
        return;
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->next = link->prev = nullptr;
}
