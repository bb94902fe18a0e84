#pragma once
// Note Options: the name, count, colour, case and side of new notes.
#include "DemoApp.h"
#include "Dialog.h"

class CNoteDialog : public CDialog {
public:
    explicit CNoteDialog(const NoteOptions& options);
    BOOL OnInitDialog() override;

    NoteOptions m_options;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
