#pragma once
// The application object of a forms program: it creates the forms, runs the
// message loop until the main form closes and shows any exception that an
// event handler lets escape in a message box.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Component.h"
#include "rtl/Event.h"

namespace forms {

class TForm;

class TApplication {
public:
    // The runtime (rtl::StartRuntime) must be running for as long as this lives.
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Creates a form owned by the application; the first one is the main form.
    template <class T, class... A>
    void CreateForm(T*& reference, A&&... args)
    {
        reference = rtl::Create<T>(nullptr, std::forward<A>(args)...);
        AddForm(reference);
    }
    TForm* MainForm() const noexcept { return FMainForm; }

    // Shows the main form and handles messages until it is closed.
    void Run();

    // The default handler of exceptions that leave event code: OnException
    // when assigned, else ShowException.
    void HandleException(const std::exception& error);
    void ShowException(const std::exception& error);
    rtl::TEvent<const std::exception&> OnException;

private:
    void AddForm(TForm* form);

    std::vector<TForm*> FForms;
    TForm* FMainForm = nullptr;
};

// The application object while one exists, else null.
TApplication* Application();

// Hands an exception to the application's handler, or shows it when there is
// no application object.
void HandleException(const std::exception& error);

// Handles one message as the program's loop does: the keyboard navigation of
// the form it is for first (TForm::IsFormMessage), else the usual translation
// and dispatch.
void DispatchFormMessage(MSG& msg);
// Handles every queued message so; WM_QUIT ends the runtime's loops.
void ProcessFormMessages();

// Text of an exception as the user reads it.
std::wstring ExceptionText(const std::exception& error);

// A modal Yes/No confirmation box; true for Yes. It pumps messages while open.
bool ConfirmYesNo(const std::wstring& text);
// Replaces how confirmations are answered (tests answer without a box);
// returns the previous answerer, an empty one meaning the message box.
using TConfirmHandler = std::function<bool(const std::wstring&)>;
TConfirmHandler SetConfirmHandler(TConfirmHandler handler);

}  // namespace forms
