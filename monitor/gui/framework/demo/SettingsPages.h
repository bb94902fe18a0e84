#pragma once
// The two pages of the Settings sheet: General (prefix, note file, a sound) and
// Display (which notes show, with check boxes in a tree, and their font and colour).
#include <string>

#include "Controls.h"
#include "DemoApp.h"
#include "Gdi.h"
#include "ImageList.h"
#include "PropertySheet.h"
#include "TreeCtrl.h"

class CGeneralPage : public CPropertyPage {
public:
    explicit CGeneralPage(const DemoSettings& settings);
    BOOL OnInitDialog() override;

    std::string m_prefix;
    int m_writeFile;
    std::string m_filePath;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap* GetMessageMap() const override;
    void OnWriteFile();
    void OnBrowse();
    void OnPlay();
    BOOL OnHelp(HELPINFO* info);

private:
    void ApplyFileRule();
};

class CDisplayPage : public CPropertyPage {
public:
    explicit CDisplayPage(const DemoSettings& settings);
    BOOL OnInitDialog() override;

    int m_shown[3];
    LOGFONTA m_font;
    COLORREF m_colour;
    CTreeCtrl m_tree;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap* GetMessageMap() const override;
    void OnTreeClick(NMHDR* header, LRESULT* result);
    void OnFont();
    void OnPickColour();
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    BOOL OnHelp(HELPINFO* info);

private:
    void ShowSample();
    HTREEITEM m_items[3] = {};
    const char* m_titles[3];
    CImageList m_states;
    CFont m_sampleFont;
};
