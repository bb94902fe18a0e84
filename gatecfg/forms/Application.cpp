#include "forms/Application.h"

#include <windows.h>

#include "forms/Form.h"
#include "rtl/Application.h"
#include "rtl/Exception.h"

namespace forms {

namespace {

TApplication* gApplication = nullptr;
TConfirmHandler gConfirmHandler;

HWND ActiveOwnerWindow()
{
    TForm* main = gApplication ? gApplication->MainForm() : nullptr;
    return main ? main->Handle() : nullptr;
}

}  // namespace

TApplication::TApplication()
{
    gApplication = this;
}

TApplication::~TApplication()
{
    for (auto it = FForms.rbegin(); it != FForms.rend(); ++it)
        (*it)->Free();
    if (gApplication == this)
        gApplication = nullptr;
}

void TApplication::AddForm(TForm* form)
{
    FForms.push_back(form);
    if (!FMainForm) {
        FMainForm = form;
        form->SetMainForm(true);
    }
}

void TApplication::Run()
{
    rtl::TApplication* runtime = rtl::Application();
    if (FMainForm) {
        try {
            FMainForm->Show();
        } catch (const std::exception& e) {
            HandleException(e);
            return;
        }
    }
    // Wide retrieval and dispatch, so typed text reaches the controls as
    // Unicode whatever the ANSI code page.
    while (!runtime->Terminated()) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            runtime->SetTerminated(true);
            break;
        }
        DispatchFormMessage(msg);
    }
}

void TApplication::HandleException(const std::exception& error)
{
    if (OnException.Assigned()) {
        try {
            OnException(error);
            return;
        } catch (const std::exception& e) {
            ShowException(e);
            return;
        }
    }
    ShowException(error);
}

void TApplication::ShowException(const std::exception& error)
{
    MessageBoxW(ActiveOwnerWindow(), ExceptionText(error).c_str(), L"Error",
                MB_OK | MB_ICONERROR);
}

TApplication* Application()
{
    return gApplication;
}

void HandleException(const std::exception& error)
{
    if (gApplication)
        gApplication->HandleException(error);
    else
        MessageBoxW(nullptr, ExceptionText(error).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

void DispatchFormMessage(MSG& msg)
{
    auto* form = dynamic_cast<TForm*>(TControl::FromHandle(GetAncestor(msg.hwnd, GA_ROOT)));
    if (form && form->IsFormMessage(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void ProcessFormMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (rtl::TApplication* runtime = rtl::Application())
                runtime->SetTerminated(true);
            return;
        }
        DispatchFormMessage(msg);
    }
}

std::wstring ExceptionText(const std::exception& error)
{
    // Exception texts come from the system's ANSI messages.
    const char* text = error.what();
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return L"";
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

bool ConfirmYesNo(const std::wstring& text)
{
    if (gConfirmHandler)
        return gConfirmHandler(text);
    return MessageBoxW(ActiveOwnerWindow(), text.c_str(), L"Подтверждение",
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

TConfirmHandler SetConfirmHandler(TConfirmHandler handler)
{
    TConfirmHandler previous = std::move(gConfirmHandler);
    gConfirmHandler = std::move(handler);
    return previous;
}

}  // namespace forms
