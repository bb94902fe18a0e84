#include "Shell.h"

#include <mmsystem.h>
#include <shellapi.h>

#include "SeamSlot.h"
#include "TestSeams.h"

namespace {

const char* Text(const char* s)
{
    return s ? s : "";
}

}  // namespace

ShellAnswer SetShellAnswer(ShellAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

HelpAnswer SetHelpAnswer(HelpAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

NotifyIconAnswer SetNotifyIconAnswer(NotifyIconAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

SoundAnswer SetSoundAnswer(SoundAnswer answer)
{
    return ReplaceSeam(std::move(answer));
}

HINSTANCE ShellOpen(HWND window, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show)
{
    if (auto& answer = SeamSlot<ShellAnswer>())
        return answer({window, Text(verb), Text(file), Text(parameters), Text(directory), show});
    return ShellExecuteA(window, verb, file, parameters, directory, show);
}

BOOL ShowWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data)
{
    if (auto& answer = SeamSlot<HelpAnswer>())
        return answer({window, Text(helpFile), command, data});
    return ::WinHelpA(window, helpFile, command, data);
}

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data)
{
    if (auto& answer = SeamSlot<NotifyIconAnswer>())
        return answer(message, *data);
    return Shell_NotifyIconA(message, data);
}

BOOL PlaySoundFile(const char* file, UINT flags)
{
    if (auto& answer = SeamSlot<SoundAnswer>())
        return answer(Text(file), flags);
    return sndPlaySoundA(file, flags);
}
