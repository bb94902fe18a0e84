#include "VspPort.h"

namespace vspmanager {

HRESULT CopyToBstr(const std::wstring& text, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT GiveName(const std::wstring& text, NameFault fault, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    switch (fault) {
    case NameFault::Fails: return E_FAIL;
    case NameFault::Null: return S_OK;
    case NameFault::Empty: return CopyToBstr(std::wstring(), out);
    case NameFault::None: break;
    }
    return CopyToBstr(text, out);
}

HRESULT VspPort::GetName(BSTR* name) { return GiveName(name_, nameFault_, name); }

}  // namespace vspmanager
