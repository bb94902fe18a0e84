#pragma once
// Message maps: each class that handles messages or commands lists them in one
// static table of entries, chained to its base class's table. An entry is made
// by one of the On... templates below from the handler's member pointer, so the
// handler's signature is checked where the table is written.
//
//   const MessageMap* CMyFrame::GetMessageMap() const
//   {
//       static const MessageEntry entries[] = {
//           OnWmCreate<&CMyFrame::OnCreate>(),
//           OnCommand<ID_FILE_CLEAR, &CMyFrame::OnClear>(),
//           OnUpdateCommand<ID_FILE_CLEAR, &CMyFrame::OnUpdateClear>(),
//       };
//       static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
//       return &map;
//   }
//
// The derived table is searched first, so an entry there replaces the base's.
#include <windows.h>

#include <cstddef>

class CCmdTarget;
class CCmdUI;

// What a handler is called with.
struct MessageCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT id;          // command and notification entries: the control or command id
    CCmdUI* cmdUI;    // update entries
    LRESULT* result;  // notification entries: what the window procedure returns
};
using MessageThunk = LRESULT (*)(CCmdTarget& target, const MessageCall& call);

enum class EntryKind : unsigned char {
    Message,  // window messages first..last
    Command,  // WM_COMMAND with notification code `code` for ids first..last
    Update,   // update-UI for command ids first..last
    Notify,   // WM_NOTIFY with code `code` from control ids first..last
};

struct MessageEntry {
    EntryKind kind;
    UINT code;
    UINT first;
    UINT last;
    MessageThunk thunk;
};

struct MessageMap {
    const MessageMap* base;
    const MessageEntry* entries;
    std::size_t count;

    // The first entry of this table or of a base table that matches.
    const MessageEntry* Find(EntryKind kind, UINT code, UINT value) const;
};

template <std::size_t N>
MessageMap MakeMessageMap(const MessageMap* base, const MessageEntry (&entries)[N])
{
    return MessageMap{base, entries, N};
}

namespace message_map_detail {

template <class>
struct MemberOf;
template <class T, class R, class... A>
struct MemberOf<R (T::*)(A...)> {
    using Class = T;
};

template <auto F>
using ClassOf = typename MemberOf<decltype(F)>::Class;

template <auto F>
ClassOf<F>& Target(CCmdTarget& target)
{
    return static_cast<ClassOf<F>&>(target);
}

}  // namespace message_map_detail

// int OnCreate(CREATESTRUCTA*): 0 to go on, -1 to fail the creation.
template <auto F>
MessageEntry OnWmCreate()
{
    return {EntryKind::Message, 0, WM_CREATE, WM_CREATE, [](CCmdTarget& t, const MessageCall& c) {
                return LRESULT((message_map_detail::Target<F>(t).*F)(
                    reinterpret_cast<CREATESTRUCTA*>(c.lParam)));
            }};
}

// void OnDestroy().
template <auto F>
MessageEntry OnWmDestroy()
{
    return {EntryKind::Message, 0, WM_DESTROY, WM_DESTROY, [](CCmdTarget& t, const MessageCall&) {
                (message_map_detail::Target<F>(t).*F)();
                return LRESULT(0);
            }};
}

// void OnClose().
template <auto F>
MessageEntry OnWmClose()
{
    return {EntryKind::Message, 0, WM_CLOSE, WM_CLOSE, [](CCmdTarget& t, const MessageCall&) {
                (message_map_detail::Target<F>(t).*F)();
                return LRESULT(0);
            }};
}

// void OnSize(UINT type, int cx, int cy).
template <auto F>
MessageEntry OnWmSize()
{
    return {EntryKind::Message, 0, WM_SIZE, WM_SIZE, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(UINT(c.wParam), short(LOWORD(c.lParam)),
                                                      short(HIWORD(c.lParam)));
                return LRESULT(0);
            }};
}

// void OnSetFocus(HWND lostFocus).
template <auto F>
MessageEntry OnWmSetFocus()
{
    return {EntryKind::Message, 0, WM_SETFOCUS, WM_SETFOCUS, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(reinterpret_cast<HWND>(c.wParam));
                return LRESULT(0);
            }};
}

// void OnTimer(UINT_PTR id).
template <auto F>
MessageEntry OnWmTimer()
{
    return {EntryKind::Message, 0, WM_TIMER, WM_TIMER, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(UINT_PTR(c.wParam));
                return LRESULT(0);
            }};
}

// BOOL OnHelp(HELPINFO*): TRUE when the help request was served.
template <auto F>
MessageEntry OnWmHelp()
{
    return {EntryKind::Message, 0, WM_HELP, WM_HELP, [](CCmdTarget& t, const MessageCall& c) {
                return LRESULT((message_map_detail::Target<F>(t).*F)(
                    reinterpret_cast<HELPINFO*>(c.lParam)));
            }};
}

// HBRUSH OnCtlColor(HDC, HWND control, UINT ctlType): every WM_CTLCOLOR... message;
// ctlType is CTLCOLOR_EDIT, CTLCOLOR_STATIC, ... A handler that wants the usual
// colours returns HBRUSH(Default()).
template <auto F>
MessageEntry OnWmCtlColor()
{
    return {EntryKind::Message, 0, WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC,
            [](CCmdTarget& t, const MessageCall& c) {
                return reinterpret_cast<LRESULT>((message_map_detail::Target<F>(t).*F)(
                    reinterpret_cast<HDC>(c.wParam), reinterpret_cast<HWND>(c.lParam),
                    c.message - WM_CTLCOLORMSGBOX));
            }};
}

// LRESULT OnSomething(WPARAM, LPARAM): any numbered message, cracked by the handler.
template <UINT Message, auto F>
MessageEntry OnMessage()
{
    return {EntryKind::Message, 0, Message, Message, [](CCmdTarget& t, const MessageCall& c) {
                return (message_map_detail::Target<F>(t).*F)(c.wParam, c.lParam);
            }};
}

// void OnSomething(): a menu, accelerator or toolbar command, or a button click.
template <UINT Id, auto F>
MessageEntry OnCommand()
{
    return {EntryKind::Command, 0, Id, Id, [](CCmdTarget& t, const MessageCall&) {
                (message_map_detail::Target<F>(t).*F)();
                return LRESULT(0);
            }};
}

// void OnSomething(UINT id): commands first..last.
template <UINT First, UINT Last, auto F>
MessageEntry OnCommandRange()
{
    static_assert(First <= Last);
    return {EntryKind::Command, 0, First, Last, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(c.id);
                return LRESULT(0);
            }};
}

// void OnSomething(): WM_COMMAND with a control notification code (EN_CHANGE, CBN_SELCHANGE, ...).
template <UINT Code, UINT Id, auto F>
MessageEntry OnControl()
{
    return {EntryKind::Command, Code, Id, Id, [](CCmdTarget& t, const MessageCall&) {
                (message_map_detail::Target<F>(t).*F)();
                return LRESULT(0);
            }};
}

// void OnUpdateSomething(CCmdUI*): sets the state of the command's menu items,
// toolbar buttons and status panes.
template <UINT Id, auto F>
MessageEntry OnUpdateCommand()
{
    return {EntryKind::Update, 0, Id, Id, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(c.cmdUI);
                return LRESULT(0);
            }};
}

// void OnSomething(NMHDR*, LRESULT* result): WM_NOTIFY with that code from control Id.
template <UINT Code, UINT Id, auto F>
MessageEntry OnNotify()
{
    return {EntryKind::Notify, Code, Id, Id, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(reinterpret_cast<NMHDR*>(c.lParam), c.result);
                return LRESULT(0);
            }};
}

// The same from any control id.
template <UINT Code, auto F>
MessageEntry OnNotifyAny()
{
    return {EntryKind::Notify, Code, 0, 0xFFFFFFFFu, [](CCmdTarget& t, const MessageCall& c) {
                (message_map_detail::Target<F>(t).*F)(reinterpret_cast<NMHDR*>(c.lParam), c.result);
                return LRESULT(0);
            }};
}
