#pragma once
#include <cstdint>
#include <string>

// The text of a log record as the message providers give it.
class MessageTexts {
public:
    // False when no provider serves the code or the one that does gives no text.
    virtual bool Text(uint32_t code, const uint8_t* payload, uint32_t length, std::wstring* text) = 0;

protected:
    ~MessageTexts() = default;
};
