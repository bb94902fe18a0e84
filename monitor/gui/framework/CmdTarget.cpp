#include "CmdTarget.h"

RUNTIME_CLASS_IMPLEMENT(CCmdTarget, CObject)

const MessageEntry* MessageMap::Find(EntryKind kind, UINT code, UINT value) const
{
    for (const MessageMap* map = this; map; map = map->base)
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageEntry& e = map->entries[i];
            if (e.kind == kind && e.code == code && e.first <= value && value <= e.last)
                return &e;
        }
    return nullptr;
}

const MessageMap* CCmdTarget::GetMessageMap() const
{
    static const MessageMap map{nullptr, nullptr, 0};
    return &map;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly)
{
    return DispatchCommand(id, code, cmdUI, probeOnly);
}

bool CCmdTarget::DispatchCommand(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly)
{
    const MessageEntry* entry = cmdUI ? GetMessageMap()->Find(EntryKind::Update, 0, id)
                                      : GetMessageMap()->Find(EntryKind::Command, code, id);
    if (!entry)
        return false;
    if (!probeOnly) {
        MessageCall call{WM_COMMAND, MAKEWPARAM(id, code), 0, id, cmdUI, nullptr};
        entry->thunk(*this, call);
    }
    return true;
}
