#pragma once
// What the tray monitor's in-process tests share: a provider that answers from
// a table, the core and COM started for a test, a frame that hosts a log view
// and a status bar as the main frame does; the loop is pumped with the
// framework's LoopPump.h.
#include "frontend/MessageProviderHost.h"
#include "FrameWnd.h"
#include "LogView.h"
#include "LoopPump.h"
#include "RxTxFrameList.h"
#include "StatusBar.h"
#include "support/CoreTestFixture.h"

#include <map>
#include <string>

// What the provider answers for one code.
struct ProviderAnswer {
    HRESULT result = S_OK;
    QUEL_MESSAGE_TYPE severity = QUEL_MSG_INFO;
    const wchar_t* text = nullptr;  // none: no text
};

// A message provider for codes [from, to] that answers from its table; a code
// not in the table gets QUEL_E_CODE_NOT_SERVED. Lives on the stack of a test:
// its reference count only counts.
class TableProvider final : public IQuelMessageProvider {
public:
    TableProvider(long from, long to) : from_(from), to_(to) {}
    std::map<long, ProviderAnswer> answers;
    LONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(InterlockedDecrement(&references_)); }
    HRESULT STDMETHODCALLTYPE GetMessageRange(long* from, long* to) override;
    HRESULT STDMETHODCALLTYPE GetMessage(long code, void* data, long size, QUEL_MESSAGE_TYPE* type,
                                         BSTR* text) override;

private:
    long from_, to_;
    LONG references_ = 0;
};

// Appends the provider to the list as the host's loading does.
void AppendProvider(ProviderList* list, IQuelMessageProvider* provider);

// The core and COM for the length of a test (with the core tests' leak check).
class GuiCoreTest : public CoreTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A frame with a status bar (id IDW_STATUS_BAR, panes 0 and 1) and a rich-edit
// log view, sized 600 x 400 and shown.
class ViewHost : public CFrameWnd {
public:
    // Made with new; destroyed by DestroyWindow (the frame deletes itself).
    static ViewHost* Make();
    CLogView view;
    CStatusBar status;

protected:
    const MessageMap* GetMessageMap() const override;
    int OnCreate(CREATESTRUCTA* cs);
};

// The view's text as WM_GETTEXT gives it.
std::string ViewText(const CRichEditCtrl& view);
// The character format of the view's characters [start, end).
CHARFORMATA FormatOf(CRichEditCtrl& view, long start, long end);

// A file name in the temporary directory that no file has; the file is removed
// with the object.
class TemporaryFile {
public:
    explicit TemporaryFile(const char* stem);
    ~TemporaryFile() { DeleteFileA(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    bool Write(const std::string& content) const;
    std::string Read() const;

private:
    std::string path_;
};

// An RX/TX frame as the RX/TX window derives it, counting its destructions.
class CountedRxTxFrame : public CRxTxFrameBase {
public:
    explicit CountedRxTxFrame(int* deleted) : m_deleted(deleted) {}
    ~CountedRxTxFrame() override { ++*m_deleted; }
    bool Open() { return Create(nullptr, "RX/TX data for COM1", WS_OVERLAPPEDWINDOW) != FALSE; }

private:
    int* m_deleted;
};
