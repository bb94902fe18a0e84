#include "ProviderTexts.h"

#include "win32/Handles.h"

bool ProviderTexts::Text(uint32_t code, const uint8_t* payload, uint32_t length, std::wstring* text)
{
    QUEL_MESSAGE_TYPE severity = QUEL_MSG_INFO;
    win32::UniqueBstr provided;
    const HRESULT hr = FormatWithProviders(&providers_, static_cast<long>(code), payload, static_cast<long>(length),
                                           &severity, provided.put());
    // A provider that reports success without a text has given no text.
    const bool known = SUCCEEDED(hr) && provided;
    if (known)
        text->assign(provided.get(), SysStringLen(provided.get()));
    return known;
}
