#include "RichEditCtrl.h"

#include "win32/Handles.h"

RUNTIME_CLASS_IMPLEMENT(CRichEditCtrl, CWnd)

static_assert(sizeof(CHARFORMATA) == 60, "the ANSI character format of rich edit 1");

namespace {

// Loaded once for the process; the control's classes live as long as the module.
class RichEditModule {
public:
    RichEditModule() : module_(LoadLibraryA("riched32.dll")) {}
    bool Loaded() const { return static_cast<bool>(module_); }

private:
    win32::UniqueModule module_;
};

}  // namespace

BOOL CRichEditCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    static RichEditModule module;
    if (!module.Loaded())
        return FALSE;
    return CWnd::Create(RICHEDIT_CLASS10A, "", style, rect, parent, id);
}

void CRichEditCtrl::GetSel(long& start, long& end) const
{
    CHARRANGE range{};
    SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    start = range.cpMin;
    end = range.cpMax;
}

void CRichEditCtrl::SetSel(long start, long end)
{
    CHARRANGE range{start, end};
    SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

std::string CRichEditCtrl::GetSelText() const
{
    long start = 0, end = 0;
    GetSel(start, end);
    std::string text(std::size_t(end > start ? end - start : 0) + 1, '\0');
    LRESULT copied = SendMessage(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(copied > 0 ? copied : 0));
    return text;
}
