#include "ProviderTexts.h"

bool ProviderTexts::Text(uint32_t code, const uint8_t* payload, uint32_t length, std::wstring* text)
{
    QUEL_MESSAGE_TYPE severity = QUEL_MSG_INFO;
    BSTR provided = nullptr;
    const HRESULT hr = FormatWithProviders(&providers_, static_cast<long>(code), payload,
                                           static_cast<long>(length), &severity, &provided);
    // A provider that reports success without a text has given no text.
    const bool known = SUCCEEDED(hr) && provided != nullptr;
    if (known)
        text->assign(provided, SysStringLen(provided));
    SysFreeString(provided);
    return known;
}
