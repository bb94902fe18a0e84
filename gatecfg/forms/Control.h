#pragma once
// The base of every control: its state lives here in C++ and is mirrored into
// a window while one exists, so the form's logic runs the same without one.
// Controls can hold child controls and dock them to their client area.
#include <windows.h>

#include <string>
#include <vector>

#include "rtl/Component.h"
#include "rtl/Event.h"

namespace forms {

static_assert(sizeof(void*) == 4, "window properties and message parameters hold 32-bit pointers");

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

using TNotifyEvent = rtl::TEvent<rtl::TObject*>;

class TControl : public rtl::TComponent {
public:
    explicit TControl(rtl::TComponent* owner);

    TControl* Parent() const noexcept { return FParent; }
    void SetParent(TControl* parent);
    int ControlCount() const noexcept { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }

    int Left() const noexcept { return FLeft; }
    int Top() const noexcept { return FTop; }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    void SetBounds(int left, int top, int width, int height);

    TAlign Align() const noexcept { return FAlign; }
    void SetAlign(TAlign align);

    // The window text: a button's or label's caption, an edit's text.
    const std::wstring& Caption() const noexcept { return FCaption; }
    void SetCaption(const std::wstring& caption);

    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool enabled);

    HWND Handle() const noexcept { return FHandle; }
    bool HandleAllocated() const noexcept { return FHandle != nullptr; }
    // Creates the window of this control and of its children; the parent's
    // window must exist already.
    void CreateHandle();

    // The area children dock into, in this control's client coordinates.
    virtual TRect ClientRect() const;
    // Lays the children out by their alignment: top, bottom, left and right
    // bands in that order, then the client ones fill what is left.
    void Realign();

    static TControl* FromHandle(HWND window);

protected:
    struct TCreateParams {
        const wchar_t* ClassName = L"";
        DWORD Style = 0;
        DWORD ExStyle = 0;
    };
    virtual void CreateParams(TCreateParams& params) const = 0;
    // Copies the C++ state into a freshly made window.
    virtual void InitWindow() {}
    // The window children are created in.
    virtual HWND ChildParentHandle() const { return FHandle; }
    virtual void AlignControls();
    // A WM_COMMAND notification about this control from its parent window.
    virtual void Command(WORD code) {}
    // A WM_NOTIFY about this control; true when it set the result.
    virtual bool Notify(NMHDR& header, LRESULT& result) { return false; }
    // Any message of this control's own window; true when it is handled.
    virtual bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Window height to create with (a drop-down list needs room below).
    virtual int WindowHeight() const { return FHeight; }

    void BeforeDestruction() override;

    // Set while the C++ state is being copied into the window, so that the
    // notifications it causes are not read back as user input.
    bool FMirroring = false;
    std::wstring WindowText() const;
    // Takes text the user typed into the window as the state.
    void StoreCaption(const std::wstring& caption) { FCaption = caption; }
    void SetWindowTextMirrored(const std::wstring& text);
    LRESULT Perform(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // The window class's own handling of a message.
    LRESULT CallDefault(UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    TControl* FParent = nullptr;
    std::vector<TControl*> FControls;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = TAlign::alNone;
    std::wstring FCaption;
    bool FVisible = true;
    bool FEnabled = true;
    HWND FHandle = nullptr;
    WNDPROC FDefProc = nullptr;
};

// The registered window class of containers (forms, panels, pages): they
// route their children's notifications back to the children's controls.
const wchar_t* ContainerClassName();

}  // namespace forms
