#include "forms/Form.h"

#include "rtl/Application.h"

namespace forms {

namespace {
const DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
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

bool TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CLOSE:
        Close();
        return true;
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
