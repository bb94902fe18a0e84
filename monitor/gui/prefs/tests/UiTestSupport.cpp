#include "UiTestSupport.h"

#include <shlwapi.h>

#include <cstdlib>
#include <utility>

namespace {

UiTestApp theApp;

constexpr char kScratchParent[] = "Software\\QuelUiTest";

}  // namespace

UiTestApp& TestApp()
{
    return theApp;
}

DWORD ScreenshotHoldMs()
{
    char value[16] = {};
    return GetEnvironmentVariableA("QUEL_UI_HOLD_MS", value, sizeof value) ? strtoul(value, nullptr, 10)
                                                                             : 3000;
}

void HoldForScreenshot()
{
    PumpFor(ScreenshotHoldMs());
}

ModalSteps::ModalSteps(std::function<void(CWnd&)> steps)
    : seam_(SetModalDriver, [this, steps = std::move(steps)](CWnd& modal) {
          ++runs;
          steps(modal);
      })
{
}

void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

ScratchKey::ScratchKey()
{
    static int counter = 0;
    path_ = std::string(kScratchParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &key_, nullptr);
}

ScratchKey::~ScratchKey()
{
    if (key_)
        RegCloseKey(key_);
    SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratchParent);  // only once no other scratch key is left
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    PrepareApplication(theApp, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
