#include "forms/PageControl.h"

#include <commctrl.h>

#include <algorithm>

namespace forms {

TTabSheet::TTabSheet(rtl::TComponent* owner) : TControl(owner) {}

void TTabSheet::SetPageControl(TPageControl* pageControl)
{
    if (FPageControl)
        FPageControl->RemovePage(this);
    FPageControl = pageControl;
    if (FPageControl)
        FPageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const
{
    if (!FPageControl)
        return -1;
    auto& pages = FPageControl->FPages;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::CreateParams(TCreateParams& params) const
{
    params.ClassName = ContainerClassName();
    params.Style = WS_CLIPCHILDREN;
    // The dialog navigation looks inside for captions' underlined letters.
    params.ExStyle = WS_EX_CONTROLPARENT;
}

void TTabSheet::BeforeDestruction()
{
    SetPageControl(nullptr);
    TControl::BeforeDestruction();
}

TPageControl::TPageControl(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 289, 193);
}

void TPageControl::InsertPage(TTabSheet* page)
{
    FPages.push_back(page);
    if (HandleAllocated()) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(page->Caption().c_str());
        Perform(TCM_INSERTITEMW, static_cast<WPARAM>(PageCount() - 1), reinterpret_cast<LPARAM>(&item));
    }
    page->SetVisible(false);
    page->SetParent(this);
    if (FActivePageIndex < 0)
        FActivePageIndex = 0;
    ShowActivePage();
}

void TPageControl::RemovePage(TTabSheet* page)
{
    int index = page->PageIndex();
    FPages.erase(FPages.begin() + index);
    Perform(TCM_DELETEITEM, static_cast<WPARAM>(index));
    if (FActivePageIndex >= PageCount())
        FActivePageIndex = PageCount() - 1;
    page->SetParent(nullptr);
    ShowActivePage();
}

void TPageControl::SetActivePageIndex(int index)
{
    if (index < 0 || index >= PageCount())
        return;
    FActivePageIndex = index;
    ShowActivePage();
}

void TPageControl::ShowActivePage()
{
    FMirroring = true;
    Perform(TCM_SETCURSEL, static_cast<WPARAM>(FActivePageIndex));
    FMirroring = false;
    for (int i = 0; i < PageCount(); ++i)
        FPages[static_cast<size_t>(i)]->SetVisible(i == FActivePageIndex);
    AlignControls();
}

TRect TPageControl::DisplayRect() const
{
    TRect client = ClientRect();
    if (!HandleAllocated())
        return {client.Left + 4, client.Top + 24, client.Right - 4, client.Bottom - 4};
    RECT r{client.Left, client.Top, client.Right, client.Bottom};
    SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return {r.left, r.top, r.right, r.bottom};
}

void TPageControl::AlignControls()
{
    TRect area = DisplayRect();
    for (TTabSheet* page : FPages)
        page->SetBounds(area.Left, area.Top, area.Width(), area.Height());
}

void TPageControl::CreateParams(TCreateParams& params) const
{
    params.ClassName = WC_TABCONTROLW;
    params.Style = WS_CLIPCHILDREN | WS_TABSTOP;
    params.ExStyle = WS_EX_CONTROLPARENT;
}

void TPageControl::InitWindow()
{
    for (int i = 0; i < PageCount(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(FPages[static_cast<size_t>(i)]->Caption().c_str());
        Perform(TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    ShowActivePage();
}

bool TPageControl::Notify(NMHDR& header, LRESULT& result)
{
    if (header.code != TCN_SELCHANGE || FMirroring)
        return false;
    SetActivePageIndex(static_cast<int>(Perform(TCM_GETCURSEL)));
    return false;
}

}  // namespace forms
