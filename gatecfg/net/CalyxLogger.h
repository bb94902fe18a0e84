#pragma once
// The logger component: diagnostic messages of socket components go to an
// event, the debugger output and a log file, optionally time-stamped.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/CalyxTypes.h"
#include "rtl/Component.h"
#include "rtl/Event.h"
#include "rtl/FileStream.h"
#include "rtl/SyncObjs.h"
#include "rtl/SysUtils.h"

namespace calyx {

// The first four steer the logger; the others are the kinds of messages that
// socket components test before they log.
enum TLogOption {
    loDestEvent,
    loDestFile,
    loDestOutDebug,
    loAddStamp,
    loWsockErr,
    loWsockInfo,
    loWsockDump,
    loSslErr,
    loSslInfo,
    loSslDump,
    loProtSpecErr,
    loProtSpecInfo,
    loProtSpecDump,
};

// A set of TLogOption, bit n for option n.
using TLogOptions = uint16_t;
constexpr TLogOptions LogOptionSet(TLogOption option)
{
    return TLogOptions(1u << unsigned(option));
}
template <class... O>
constexpr TLogOptions LogOptionSet(TLogOption first, O... rest)
{
    return TLogOptions(LogOptionSet(first) | LogOptionSet(rest...));
}
constexpr bool HasLogOption(TLogOptions set, TLogOption option)
{
    return (set & LogOptionSet(option)) != 0;
}

enum TLogFileOption { lfoAppend, lfoOverwrite };

// (Sender, LogOption, Msg)
using TCxLogEvent = rtl::TEvent<rtl::TObject*, TLogOption, const std::string&>;

class ELoggerException : public ECxException {
public:
    using ECxException::ECxException;
};

class TCxLogger : public rtl::TComponent {
public:
    using TClock = std::function<rtl::TDateTime()>;

    explicit TCxLogger(rtl::TComponent* owner) : rtl::TComponent(owner) {}

    // Any thread may log; nothing happens while the logger is being destroyed.
    void LogMessage(rtl::TObject* sender, TLogOption option, const std::string& msg);

    std::string TimeStampFormatString() const;
    void SetTimeStampFormatString(const std::string& format);
    std::string TimeStampSeparator() const;
    void SetTimeStampSeparator(const std::string& separator);
    TLogFileOption LogFileOption() const;
    void SetLogFileOption(TLogFileOption option);
    std::string LogFileName() const;
    // A different name closes the open file; the next write opens the new one.
    void SetLogFileName(const std::string& name);
    TLogOptions LogOptions() const;
    void SetLogOptions(TLogOptions options);
    void SetOnCxLogEvent(TCxLogEvent handler);

    // Where time stamps come from (the local time by default).
    void SetClock(TClock clock);

    void CloseLogFile();

protected:
    ~TCxLogger() override;

private:
    void OpenLogFile();

    mutable rtl::TCriticalSection FLock;
    std::string FTimeStampFormatString = "hh:nn:ss:zzz";
    std::string FTimeStampSeparator = " ";
    TLogFileOption FLogFileOption = lfoAppend;
    std::string FLogFileName;
    TLogOptions FLogOptions = 0;
    TCxLogEvent FOnCxLogEvent;
    TClock FClock;
    std::unique_ptr<rtl::TFileStream> FLogFile;
};

}  // namespace calyx
