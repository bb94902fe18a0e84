#include "forms/Form.h"

#include <algorithm>

#include "forms/Button.h"
#include "forms/Static.h"
#include "rtl/Application.h"

namespace forms {

namespace {

const DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

wchar_t UpperCase(wchar_t letter)
{
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
        CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(letter)))));
}

// Whether the window is shown and enabled with all its parents: a hidden
// page's controls take no focus.
bool CanFocus(const TControl& control)
{
    return control.HandleAllocated() && IsWindowVisible(control.Handle()) &&
           IsWindowEnabled(control.Handle());
}

// Every control under `parent`, depth first in the order they were made.
template <class F>
void ForEachControl(const TControl& parent, F&& visit)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* child = parent.Controls(i);
        visit(*child);
        ForEachControl(*child, visit);
    }
}

// The letter after a caption's single "&" ("&&" shows a plain "&"), upper
// case; 0 for none.
wchar_t Mnemonic(const std::wstring& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&')
            continue;
        if (caption[i + 1] != L'&')
            return UpperCase(caption[i + 1]);
        ++i;
    }
    return 0;
}

}  // namespace

TForm* ParentForm(TControl* control)
{
    while (control && control->Parent())
        control = control->Parent();
    return dynamic_cast<TForm*>(control);
}

TForm::TForm(rtl::TComponent* owner) : TControl(owner)
{
    SetVisible(false);
}

void TForm::AfterConstruction()
{
    TControl::AfterConstruction();
    if (OnCreate.Assigned())
        OnCreate(this);
}

void TForm::BeforeDestruction()
{
    if (OnDestroy.Assigned())
        OnDestroy(this);
    TControl::BeforeDestruction();
}

void TForm::CreateParams(TCreateParams& params) const
{
    params.ClassName = ContainerClassName();
    params.Style = kFormStyle;
}

void TForm::InitWindow()
{
    if (FPosition == TPosition::poScreenCenter) {
        int left = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
        int top = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
        SetBounds(left > 0 ? left : 0, top > 0 ? top : 0, Width(), Height());
    }
}

void TForm::Show()
{
    CreateHandle();
    SetVisible(true);
    UpdateWindow(Handle());
}

void TForm::Close()
{
    if (FMainForm) {
        if (rtl::Application())
            rtl::Application()->Terminate();
    }
    SetVisible(false);
}

TRect TForm::ClientRect() const
{
    if (HandleAllocated())
        return TControl::ClientRect();
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    return {0, 0, Width() - (frame.right - frame.left), Height() - (frame.bottom - frame.top)};
}

std::vector<TControl*> TForm::TabOrder() const
{
    std::vector<TControl*> order;
    ForEachControl(*this, [&](TControl& control) {
        if (CanFocus(control) && (GetWindowLongW(control.Handle(), GWL_STYLE) & WS_TABSTOP))
            order.push_back(&control);
    });
    return order;
}

void TForm::SelectNext(bool forward)
{
    const std::vector<TControl*> order = TabOrder();
    if (order.empty())
        return;
    // The focused control, or the one of ours that holds the focused window.
    auto current = order.end();
    for (HWND window = GetFocus(); window && window != Handle() && current == order.end();
         window = GetParent(window))
        current = std::find(order.begin(), order.end(), FromHandle(window));
    size_t next;
    if (current == order.end())
        next = forward ? 0 : order.size() - 1;
    else if (forward)
        next = (static_cast<size_t>(current - order.begin()) + 1) % order.size();
    else
        next = (static_cast<size_t>(current - order.begin()) + order.size() - 1) % order.size();
    HWND target = order[next]->Handle();
    SetFocus(target);
    // An edit reached by the keyboard has its text selected, ready to be typed over.
    if ((SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) &&
        !(GetWindowLongW(target, GWL_STYLE) & ES_MULTILINE))
        SendMessageW(target, EM_SETSEL, 0, -1);
}

TButton* TForm::DefaultButton() const
{
    TButton* found = nullptr;
    ForEachControl(*this, [&](TControl& control) {
        auto* button = dynamic_cast<TButton*>(&control);
        if (!found && button && button->Default() && CanFocus(*button))
            found = button;
    });
    return found;
}

bool TForm::PressMnemonic(wchar_t letter)
{
    const wchar_t wanted = UpperCase(letter);
    const std::vector<TControl*> order = TabOrder();
    bool pastLabel = false;
    TControl* found = nullptr;
    ForEachControl(*this, [&](TControl& control) {
        if (found || !CanFocus(control))
            return;
        const bool label = dynamic_cast<TLabel*>(&control) != nullptr;
        if (pastLabel) {
            if (std::find(order.begin(), order.end(), &control) != order.end())
                found = &control;
        } else if ((label || dynamic_cast<TButton*>(&control)) && Mnemonic(control.Caption()) == wanted) {
            pastLabel = label;
            if (!label)
                found = &control;
        }
    });
    if (!found)
        return false;
    SetFocus(found->Handle());
    if (auto* button = dynamic_cast<TButton*>(found))
        button->Click();
    return true;
}

bool TForm::IsFormMessage(MSG& msg)
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !HandleAllocated())
        return false;
    const auto dialogCode = [&msg] {
        return SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    };
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
        !(dialogCode() & (DLGC_WANTTAB | DLGC_WANTMESSAGE))) {
        SelectNext(GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    // Alt with a letter, or the letter alone where the focus takes no text
    // (on a button). Done here: the system's own search misses letters
    // beyond ASCII under Wine, such as Cyrillic ones.
    if ((msg.message == WM_SYSCHAR || (msg.message == WM_CHAR && !(dialogCode() & DLGC_WANTCHARS))) &&
        PressMnemonic(static_cast<wchar_t>(msg.wParam)))
        return true;
    return IsDialogMessageW(Handle(), &msg) != 0;
}

bool TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CLOSE:
        Close();
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus))
                FFocused = focus;
            return false;
        }
        if (HIWORD(wParam))  // minimized
            return false;
        {
            // The control focused last, if it can still take the focus; else
            // the first one, unless one of ours has it already.
            HWND target = FFocused;
            FFocused = nullptr;
            if (!target || !IsChild(Handle(), target) || !IsWindowVisible(target) ||
                !IsWindowEnabled(target))
                target = IsChild(Handle(), GetFocus()) ? GetFocus() : nullptr;
            if (target)
                SetFocus(target);
            else
                SelectNext(true);
        }
        result = 0;
        return true;
    case DM_GETDEFID: {
        auto* button = dynamic_cast<TButton*>(FromHandle(GetFocus()));
        if (!button)
            button = DefaultButton();
        result = button ? MAKELRESULT(GetDlgCtrlID(button->Handle()), DC_HASDEFID) : 0;
        return true;
    }
    case WM_SIZE:
    case WM_MOVE: {
        // The user moved or resized the window: take its bounds as the state.
        RECT r;
        GetWindowRect(Handle(), &r);
        if (message == WM_SIZE && wParam == SIZE_MINIMIZED)
            return false;
        SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
        return false;
    }
    default:
        return TControl::WndProc(message, wParam, lParam, result);
    }
}

}  // namespace forms
