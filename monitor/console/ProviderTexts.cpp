#include "ProviderTexts.h"

namespace {

std::string ToAnsi(BSTR text)
{
    const int units = static_cast<int>(SysStringLen(text));
    const int length = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string ansi(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, units, &ansi[0], length, nullptr, nullptr);
    return ansi;
}

}  // namespace

bool ProviderTexts::Text(uint32_t code, const uint8_t* payload, uint32_t length, std::string* text)
{
    QUEL_MESSAGE_TYPE severity = QUEL_MSG_INFO;
    BSTR provided = nullptr;
    const HRESULT hr = FormatWithProviders(&providers_, static_cast<long>(code), payload,
                                           static_cast<long>(length), &severity, &provided);
    // A provider that reports success without a text has given no text.
    const bool known = SUCCEEDED(hr) && provided != nullptr;
    if (known)
        *text = ToAnsi(provided);
    SysFreeString(provided);
    return known;
}
