#pragma once
// A component's reference to its logger. While it refers to one it has asked
// to hear of the logger's removal; the component's Notification passes the
// news on, and a removed logger is forgotten.
#include <string>

#include "net/CalyxLogger.h"
#include "rtl/Component.h"

namespace calyx {

class TCxLoggerLink {
public:
    explicit TCxLoggerLink(rtl::TComponent& holder) noexcept : FHolder(holder) {}
    TCxLoggerLink(const TCxLoggerLink&) = delete;
    TCxLoggerLink& operator=(const TCxLoggerLink&) = delete;

    TCxLogger* Get() const noexcept { return FLogger; }
    void Set(TCxLogger* logger);
    // What the holder's Notification heard.
    void Notification(rtl::TComponent* component, rtl::TOperation operation) noexcept;

    // Whether there is a logger and it takes messages of the kind.
    bool CheckLogOptions(TLogOption option) const;
    // Hands the text to the logger, if any, with the holder as its sender.
    void DebugLog(TLogOption option, const std::string& text) const;

private:
    rtl::TComponent& FHolder;
    TCxLogger* FLogger = nullptr;
};

}  // namespace calyx
