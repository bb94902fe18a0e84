#include "FrameworkTesting.h"

#include <commctrl.h>

#include "PropertySheet.h"

MessageBoxLog::MessageBoxLog(int answer)
    : answer(answer),
      seam_(SetMessageBoxAnswer, [this](HWND, const std::string& text, const std::string&, UINT type) {
          texts.push_back(text);
          types.push_back(type);
          return this->answer;
      })
{
}

std::string TextOf(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

ModalPlacementLog::ModalPlacementLog()
    : seam_(SetModalDriver, [this](CWnd& modal) {
          RECT rect{};
          GetWindowRect(modal.m_hWnd, &rect);
          rects.push_back(rect);
          if (dynamic_cast<CPropertySheet*>(&modal))
              PropSheet_PressButton(modal.m_hWnd, PSBTN_CANCEL);
          else
              SendMessageA(modal.m_hWnd, WM_COMMAND, IDCANCEL, 0);
      })
{
}

bool LiesWithin(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}
