#pragma once
// A page control: tabs over a stack of pages, one of them shown.
#include <vector>

#include "forms/Control.h"

namespace forms {

class TPageControl;

// One page; its caption is the tab's text and children dock into it.
class TTabSheet : public TControl {
public:
    explicit TTabSheet(rtl::TComponent* owner);
    TPageControl* PageControl() const noexcept { return FPageControl; }
    void SetPageControl(TPageControl* pageControl);
    int PageIndex() const;

protected:
    void CreateParams(TCreateParams& params) const override;
    void BeforeDestruction() override;

private:
    TPageControl* FPageControl = nullptr;
};

class TPageControl : public TControl {
public:
    explicit TPageControl(rtl::TComponent* owner);

    int PageCount() const noexcept { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int index) const { return FPages.at(static_cast<size_t>(index)); }
    int ActivePageIndex() const noexcept { return FActivePageIndex; }
    void SetActivePageIndex(int index);

    // The pages' area below the tabs.
    TRect DisplayRect() const;

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    void AlignControls() override;
    bool Notify(NMHDR& header, LRESULT& result) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void ShowActivePage();

    std::vector<TTabSheet*> FPages;
    int FActivePageIndex = -1;
};

}  // namespace forms
