#include "net/CalyxLoggerLink.h"

namespace calyx {

void TCxLoggerLink::Set(TCxLogger* logger)
{
    if (logger == FLogger)
        return;
    if (FLogger)
        FHolder.RemoveFreeNotification(FLogger);
    FLogger = logger;
    if (FLogger)
        FHolder.FreeNotification(FLogger);
}

void TCxLoggerLink::Notification(rtl::TComponent* component, rtl::TOperation operation) noexcept
{
    if (operation == rtl::TOperation::opRemove && component == FLogger)
        FLogger = nullptr;
}

bool TCxLoggerLink::CheckLogOptions(TLogOption option) const
{
    return FLogger && HasLogOption(FLogger->LogOptions(), option);
}

void TCxLoggerLink::DebugLog(TLogOption option, const std::string& text) const
{
    if (FLogger)
        FLogger->LogMessage(&FHolder, option, text);
}

}  // namespace calyx
