#include "MessageBox.h"

#include "OnScreenPlacement.h"
#include "SeamSlot.h"
#include "TestSeams.h"
#include "WinApp.h"

MessageBoxAnswer SetMessageBoxAnswer(MessageBoxAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    std::string title = caption ? caption : (GetApp() ? GetApp()->m_appName : std::string());
    if (auto& answer = SeamSlot<MessageBoxAnswer>())
        return answer(owner, text ? text : "", title, type);
    ModalPlacementScope placement;
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
