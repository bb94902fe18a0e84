#include "frontend/MessageProviderHost.h"
#include "containers/AnsiText.h"
#include "runtime/BlockOwner.h"
#include "win32/ComPtr.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// GetFullPathNameA's and GetPrivateProfileStringA's buffers.
constexpr DWORD kPathChars = 260;
// In-process server, in-process handler, local server, remote server.
constexpr DWORD kProviderClassContext = 0x17;

ProviderNode* NodeOf(ListNode* link) { return reinterpret_cast<ProviderNode*>(link); }

}  // namespace

void ProviderListInit(ProviderList* list) { ListInit(&list->nodes); }

void ProviderListDestroy(ProviderList* list) { ReleaseAllProviders(list); }

void ProviderNodeRelease(ProviderNode* node)
{
    // The node's reference goes back as the temporary owner ends.
    win32::ComPtr<IQuelMessageProvider>::Adopt(std::exchange(node->provider, nullptr));
}

void FreeProviderNode(ProviderNode* node)
{
    BlockOwner<ProviderNode> owned(node);
    ProviderNodeRelease(node);
}

void ReleaseAllProviders(ProviderList* list)
{
    while (!ListIsEmpty(&list->nodes))
        FreeProviderNode(NodeOf(ListPopFront(&list->nodes)));
}

HRESULT CreateMessageProvider(ProviderList* list, const char* progId)
{
    wchar_t wideProgId[kPathChars];
    // With its NUL: a name that does not fit with it is refused.
    if (progId == nullptr || WideFromAnsi(progId, int(std::strlen(progId)) + 1, wideProgId, kPathChars) < 0)
        return E_INVALIDARG;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(wideProgId, &clsid);
    if (FAILED(hr))
        return hr;
    win32::ComPtr<IQuelMessageProvider> created;
    hr = CoCreateInstance(clsid, nullptr, kProviderClassContext, IID_IQuelMessageProvider,
                          reinterpret_cast<void**>(created.put()));
    if (FAILED(hr))
        return hr;
    if (!created)
        return E_NOINTERFACE;
    long lowest = 0;
    long highest = 0;
    hr = created->GetMessageRange(&lowest, &highest);
    if (SUCCEEDED(hr)) {
        auto* node = static_cast<ProviderNode*>(BlockAlloc(sizeof(ProviderNode)));
        if (node == nullptr) {
            hr = E_OUTOFMEMORY;
        } else {
            node->lowestCode = lowest;
            node->highestCode = highest;
            node->provider = created.release();
            ListPushBack(&list->nodes, &node->link);
            ++list->nodes.count;
            hr = S_OK;
        }
    }
    return hr;
}

uint32_t LoadMessageProviders(ProviderList* list, const char* iniFileName, ProviderLoadFailure* failure)
{
    ProviderLoadFailure ignored;
    ProviderLoadFailure& failed = failure ? *failure : ignored;
    failed.progId[0] = '\0';
    failed.result = S_OK;
    auto load = [&](const char* progId) {
        failed.result = CreateMessageProvider(list, progId);
        if (FAILED(failed.result))
            lstrcpynA(failed.progId, progId, sizeof failed.progId);
        return SUCCEEDED(failed.result);
    };

    ReleaseAllProviders(list);
    if (!load(kStdProviderProgId))
        return 0;
    if (iniFileName == nullptr)
        return list->nodes.count;

    // A relative name would be looked up in the Windows directory.
    char path[kPathChars];
    DWORD length = GetFullPathNameA(iniFileName, kPathChars, path, nullptr);
    if (length == 0 || length >= kPathChars)
        return list->nodes.count;

    for (unsigned n = 1;; ++n) {
        char key[16];
        std::snprintf(key, sizeof(key), "provider%u", n);
        char progId[kPathChars];
        if (GetPrivateProfileStringA(kProvidersSection, key, "", progId, kPathChars, path) == 0)
            break;
        if (!load(progId))
            break;
    }
    return list->nodes.count;
}

HRESULT FormatWithProviders(ProviderList* list, long code, const void* data, long size,
                            QUEL_MESSAGE_TYPE* severity, BSTR* text)
{
    for (ListNode* link = list->nodes.first; link != ListSentinel(&list->nodes); link = link->next) {
        ProviderNode* node = NodeOf(link);
        if (node->lowestCode <= code && code <= node->highestCode)
            return node->provider->GetMessage(code, const_cast<void*>(data), size, severity, text);
    }
    return QUEL_E_CODE_NOT_SERVED;
}
