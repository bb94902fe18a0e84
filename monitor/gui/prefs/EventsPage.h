#pragma once
// The Events page of the Preferences sheet: which severities are logged (check
// boxes drawn as the tree's state images) and in which font and colour. It edits
// the live severity entries: a font chosen here holds at once, the check boxes
// whenever the page's data are taken (on leaving the page and on OK).
#include <windows.h>

#include "Gdi.h"
#include "ImageList.h"
#include "MonitorSettings.h"
#include "PropertySheet.h"
#include "TreeCtrl.h"

class CEventsPage : public CPropertyPage {
public:
    RUNTIME_CLASS_DECLARE(CEventsPage)
public:
    explicit CEventsPage(MonitorSettings& live);
    BOOL OnInitDialog() override;

    // The check value of an item: 0 unchecked, 1 checked, 2 mixed (its state image - 1).
    int GetCheck(HTREEITEM item) const;

    CTreeCtrl m_tree;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap* GetMessageMap() const override;

private:
    void OnChangeFont();
    void OnSelChanged(NMHDR*, LRESULT*);
    void OnTreeClick(NMHDR*, LRESULT* result);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    BOOL OnHelp(HELPINFO*);

    void SetCheck(HTREEITEM item, int value);
    void SetChildrenChecks(HTREEITEM parent, int value);
    // The common value of the item's children, or 2 when they differ.
    int ChildrenCheck(HTREEITEM parent) const;
    SeverityEntry* SelectedEntry() const;
    void ShowSample();

    MonitorSettings& m_live;
    CImageList m_states;
    CFont m_sampleFont;
};
