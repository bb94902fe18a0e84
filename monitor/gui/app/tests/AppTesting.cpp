#include "AppTesting.h"

#include "runtime/TrackedBlock.h"

#include <objbase.h>

#include <iterator>

HRESULT TableProvider::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IQuelMessageProvider)) {
        *object = static_cast<IQuelMessageProvider*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT TableProvider::GetMessageRange(long* from, long* to)
{
    *from = from_;
    *to = to_;
    return S_OK;
}

HRESULT TableProvider::GetMessage(long code, void*, long, QUEL_MESSAGE_TYPE* type, BSTR* text)
{
    auto found = answers.find(code);
    if (found == answers.end())
        return QUEL_E_CODE_NOT_SERVED;
    *type = found->second.severity;
    *text = found->second.text ? SysAllocString(found->second.text) : nullptr;
    return found->second.result;
}

void AppendProvider(ProviderList* list, IQuelMessageProvider* provider)
{
    long from = 0, to = 0;
    provider->GetMessageRange(&from, &to);
    auto* node = static_cast<ProviderNode*>(BlockAlloc(sizeof(ProviderNode)));
    ASSERT_NE(node, nullptr);
    node->lowestCode = from;
    node->highestCode = to;
    node->provider = provider;
    provider->AddRef();
    ListPushBack(&list->nodes, &node->link);
    ++list->nodes.count;
}

void GuiCoreTest::SetUp()
{
    CoInitialize(nullptr);
    CoreTest::SetUp();
}

void GuiCoreTest::TearDown()
{
    CoreTest::TearDown();
    CoUninitialize();
}

ViewHost* ViewHost::Make()
{
    auto* host = new ViewHost;
    if (!host->Create(nullptr, "View host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 600, 400)))
        return nullptr;
    host->ShowWindow(SW_SHOW);
    return host;
}

const MessageMap* ViewHost::GetMessageMap() const
{
    static const MessageEntry entries[] = {OnWmCreate<&ViewHost::OnCreate>()};
    static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
    return &map;
}

int ViewHost::OnCreate(CREATESTRUCTA* cs)
{
    static const UINT panes[] = {ID_SEPARATOR, ID_SEPARATOR};
    if (CFrameWnd::OnCreate(cs) == -1 ||
        !view.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                     CRect(), this, IDW_PANE_FIRST) ||
        !status.Create(this) || !status.SetIndicators(panes, int(std::size(panes))))
        return -1;
    status.SetPaneInfo(1, ID_SEPARATOR, SBPS_NORMAL, 100);
    return 0;
}

std::string ViewText(const CRichEditCtrl& view)
{
    std::string text(size_t(view.GetTextLength()) + 1, '\0');
    text.resize(size_t(GetWindowTextA(view.m_hWnd, &text[0], int(text.size()))));
    return text;
}

CHARFORMATA FormatOf(CRichEditCtrl& view, long start, long end)
{
    view.SetSel(start, end);
    CHARFORMATA format{};
    view.GetSelectionCharFormat(format);
    return format;
}

TemporaryFile::TemporaryFile(const char* stem)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    static int count = 0;
    path_ = std::string(directory) + stem + "_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++count) + ".log";
    DeleteFileA(path_.c_str());
}

bool TemporaryFile::Write(const std::string& content) const
{
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) &&
                    written == content.size();
    CloseHandle(file);
    return ok;
}

std::string TemporaryFile::Read() const
{
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string content(size_t(GetFileSize(file, nullptr)), '\0');
    DWORD read = 0;
    ReadFile(file, &content[0], DWORD(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    return content;
}
