#include "MessageBox.h"

#include <utility>

#include "TestSeams.h"
#include "WinApp.h"

namespace {

MessageBoxAnswer& Answer()
{
    static MessageBoxAnswer answer;
    return answer;
}

}  // namespace

MessageBoxAnswer SetMessageBoxAnswer(MessageBoxAnswer answer)
{
    return std::exchange(Answer(), std::move(answer));
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    std::string title = caption ? caption : (GetApp() ? GetApp()->m_appName : std::string());
    if (Answer())
        return Answer()(owner, text ? text : "", title, type);
    return ::MessageBoxA(owner, text, title.c_str(), type);
}

int AppMessageBox(const char* text, UINT type)
{
    CWinApp* app = GetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return ShowMessageBox(owner, text, nullptr, type);
}

int AppMessageBox(UINT stringId, UINT type)
{
    return AppMessageBox(LoadResString(stringId).c_str(), type);
}
