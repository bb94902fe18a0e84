#pragma once
// An object that commands can be routed to: it has a message map and answers
// whether (and how) it handles a command id.
#include "MessageMap.h"
#include "Object.h"

class CCmdTarget : public CObject {
public:
    RUNTIME_CLASS_DECLARE(CCmdTarget)
public:
    // Runs the handler of command id with that notification code, or of its update-UI
    // when cmdUI is given. With probeOnly nothing runs: the answer tells whether a
    // handler exists. Frames extend the route to the application.
    virtual bool OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly = false);

    virtual const MessageMap* GetMessageMap() const;

protected:
    // The handler of this object's own map, without further routing.
    bool DispatchCommand(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly);
};
