#include "forms/Control.h"

#include <commctrl.h>

#include <algorithm>

#include "forms/Application.h"

namespace forms {

namespace {

const wchar_t kControlProp[] = L"gatecfg.forms.control";
const wchar_t kContainerClass[] = L"GatecfgContainer";

void InitControlClasses()
{
    static bool done = false;
    if (done)
        return;
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&init);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
    done = true;
}

int gNextControlId = 100;

}  // namespace

const wchar_t* ContainerClassName()
{
    return kContainerClass;
}

TControl::TControl(rtl::TComponent* owner) : rtl::TComponent(owner) {}

TControl* TControl::FromHandle(HWND window)
{
    return window ? static_cast<TControl*>(GetPropW(window, kControlProp)) : nullptr;
}

void TControl::SetParent(TControl* parent)
{
    if (parent == FParent)
        return;
    if (FParent) {
        auto& siblings = FParent->FControls;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    FParent = parent;
    if (FParent) {
        FParent->FControls.push_back(this);
        FParent->Realign();
        if (FParent->HandleAllocated())
            CreateHandle();
    }
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    bool moved = left != FLeft || top != FTop || width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (FHandle && moved)
        MoveWindow(FHandle, left, top, width, WindowHeight(), TRUE);
    Realign();
}

void TControl::SetAlign(TAlign align)
{
    FAlign = align;
    if (FParent)
        FParent->Realign();
}

void TControl::SetCaption(const std::wstring& caption)
{
    FCaption = caption;
    if (FHandle)
        SetWindowTextMirrored(caption);
}

void TControl::SetVisible(bool visible)
{
    FVisible = visible;
    if (FHandle)
        ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
    if (FParent)
        FParent->Realign();
}

void TControl::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    if (FHandle)
        EnableWindow(FHandle, enabled);
}

TRect TControl::ClientRect() const
{
    if (FHandle) {
        RECT r;
        GetClientRect(FHandle, &r);
        return {r.left, r.top, r.right, r.bottom};
    }
    return {0, 0, FWidth, FHeight};
}

void TControl::Realign()
{
    AlignControls();
}

void TControl::AlignControls()
{
    TRect rest = ClientRect();
    const TAlign bands[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                            TAlign::alClient};
    for (TAlign kind : bands) {
        for (TControl* child : FControls) {
            if (child->FAlign != kind || !child->FVisible)
                continue;
            switch (kind) {
            case TAlign::alTop:
                child->SetBounds(rest.Left, rest.Top, rest.Width(), child->FHeight);
                rest.Top += child->FHeight;
                break;
            case TAlign::alBottom:
                child->SetBounds(rest.Left, rest.Bottom - child->FHeight, rest.Width(), child->FHeight);
                rest.Bottom -= child->FHeight;
                break;
            case TAlign::alLeft:
                child->SetBounds(rest.Left, rest.Top, child->FWidth, rest.Height());
                rest.Left += child->FWidth;
                break;
            case TAlign::alRight:
                child->SetBounds(rest.Right - child->FWidth, rest.Top, child->FWidth, rest.Height());
                rest.Right -= child->FWidth;
                break;
            default:
                child->SetBounds(rest.Left, rest.Top, rest.Width(), rest.Height());
                break;
            }
        }
    }
}

void TControl::CreateHandle()
{
    if (FHandle)
        return;
    InitControlClasses();
    TCreateParams params;
    CreateParams(params);
    HWND parent = FParent ? FParent->ChildParentHandle() : nullptr;
    if (FParent && !parent)
        return;  // made together with the parent's window
    DWORD style = params.Style | (FVisible ? WS_VISIBLE : 0) | (FEnabled ? 0 : WS_DISABLED);
    if (parent)
        style |= WS_CHILD | WS_CLIPSIBLINGS;
    HMENU id = parent ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(gNextControlId++)) : nullptr;
    FHandle = CreateWindowExW(params.ExStyle, params.ClassName, FCaption.c_str(), style, FLeft, FTop,
                              FWidth, WindowHeight(), parent, id, GetModuleHandleW(nullptr), nullptr);
    if (!FHandle)
        throw rtl::Exception("Cannot create the window of control " + Name());
    SetPropW(FHandle, kControlProp, this);
    FDefProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    InitWindow();
    for (TControl* child : FControls)
        child->CreateHandle();
    Realign();
}

std::wstring TControl::WindowText() const
{
    int length = GetWindowTextLengthW(FHandle);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(FHandle, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

void TControl::SetWindowTextMirrored(const std::wstring& text)
{
    FMirroring = true;
    SetWindowTextW(FHandle, text.c_str());
    FMirroring = false;
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return FHandle ? SendMessageW(FHandle, message, wParam, lParam) : 0;
}

LRESULT TControl::CallDefault(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return CallWindowProcW(FDefProc, FHandle, message, wParam, lParam);
}

bool TControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (TControl* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
            child->Command(HIWORD(wParam));
            return true;
        }
        return false;
    case WM_NOTIFY: {
        NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
        TControl* child = FromHandle(header.hwndFrom);
        return child && child != this && child->Notify(header, result);
    }
    default:
        return false;
    }
}

LRESULT CALLBACK TControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TControl* control = FromHandle(window);
    if (!control)
        return DefWindowProcW(window, message, wParam, lParam);
    WNDPROC defProc = control->FDefProc;
    if (message == WM_NCDESTROY) {
        control->Detach();
        return CallWindowProcW(defProc, window, message, wParam, lParam);
    }
    // No exception may unwind into the system's frames.
    try {
        LRESULT result = 0;
        if (control->WndProc(message, wParam, lParam, result))
            return result;
    } catch (const std::exception& e) {
        HandleException(e);
        return 0;
    } catch (...) {
        HandleException(rtl::Exception("Unknown exception"));
        return 0;
    }
    return CallWindowProcW(defProc, window, message, wParam, lParam);
}

void TControl::Detach()
{
    SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefProc));
    RemovePropW(FHandle, kControlProp);
    FHandle = nullptr;
}

void TControl::BeforeDestruction()
{
    if (FHandle)
        DestroyWindow(FHandle);
    for (TControl* child : FControls)
        child->FParent = nullptr;
    FControls.clear();
    SetParent(nullptr);
    rtl::TComponent::BeforeDestruction();
}

}  // namespace forms
