#include "FrameworkTesting.h"

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
