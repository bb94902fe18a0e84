#include "VspPort.h"

namespace vspmanager {

HRESULT CopyToBstr(const std::wstring& text, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VspPort::GetName(BSTR* name) { return CopyToBstr(name_, name); }

}  // namespace vspmanager
