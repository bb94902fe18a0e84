#pragma once
#include "frontend/MessageProviderHost.h"
#include "MessageTexts.h"

// Record texts from a provider list, as the provider gave them.
class ProviderTexts : public MessageTexts {
public:
    explicit ProviderTexts(ProviderList* providers) : providers_(*providers) {}
    bool Text(uint32_t code, const uint8_t* payload, uint32_t length, std::wstring* text) override;

private:
    ProviderList& providers_;
};
