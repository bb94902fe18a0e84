#include "net/CalyxLogger.h"

#include <windows.h>

#include "net/CalyxLibrary.h"

namespace calyx {

TCxLogger::~TCxLogger()
{
    CloseLogFile();
}

void TCxLogger::LogMessage(rtl::TObject* sender, TLogOption option, const std::string& msg)
{
    rtl::TLock lock(FLock);
    if (IsDestroying())
        return;
    std::string text = msg;
    if (HasLogOption(FLogOptions, loAddStamp)) {
        const rtl::TDateTime now = FClock ? FClock() : lib::Now();
        text = rtl::FormatDateTime(FTimeStampFormatString, now) + FTimeStampSeparator + msg;
    }
    if (HasLogOption(FLogOptions, loDestEvent) && FOnCxLogEvent.Assigned())
        FOnCxLogEvent(sender, option, text);
    if (HasLogOption(FLogOptions, loDestOutDebug))
        OutputDebugStringA(text.c_str());
    if (HasLogOption(FLogOptions, loDestFile)) {
        if (!FLogFile)
            OpenLogFile();
        const std::string line = text + "\r\n";
        FLogFile->Write(line.data(), uint32_t(line.size()));
    }
}

void TCxLogger::OpenLogFile()
{
    FLogFile.reset();
    if (FLogFileName.empty())
        throw ELoggerException("File name empty");
    if (!lib::FileExists(FLogFileName)) {
        rtl::TFileStream created(FLogFileName, rtl::fmCreate);
    }
    auto file = std::make_unique<rtl::TFileStream>(FLogFileName,
                                                   rtl::fmOpenReadWrite | rtl::fmShareDenyWrite);
    if (FLogFileOption == lfoAppend)
        file->SeekToEnd();
    else
        file->SetSize(0);
    FLogFile = std::move(file);
}

void TCxLogger::CloseLogFile()
{
    rtl::TLock lock(FLock);
    FLogFile.reset();
}

std::string TCxLogger::TimeStampFormatString() const
{
    rtl::TLock lock(FLock);
    return FTimeStampFormatString;
}

void TCxLogger::SetTimeStampFormatString(const std::string& format)
{
    rtl::TLock lock(FLock);
    FTimeStampFormatString = format;
}

std::string TCxLogger::TimeStampSeparator() const
{
    rtl::TLock lock(FLock);
    return FTimeStampSeparator;
}

void TCxLogger::SetTimeStampSeparator(const std::string& separator)
{
    rtl::TLock lock(FLock);
    FTimeStampSeparator = separator;
}

TLogFileOption TCxLogger::LogFileOption() const
{
    rtl::TLock lock(FLock);
    return FLogFileOption;
}

void TCxLogger::SetLogFileOption(TLogFileOption option)
{
    rtl::TLock lock(FLock);
    FLogFileOption = option;
}

std::string TCxLogger::LogFileName() const
{
    rtl::TLock lock(FLock);
    return FLogFileName;
}

void TCxLogger::SetLogFileName(const std::string& name)
{
    rtl::TLock lock(FLock);
    if (name == FLogFileName)
        return;
    FLogFile.reset();
    FLogFileName = name;
}

TLogOptions TCxLogger::LogOptions() const
{
    rtl::TLock lock(FLock);
    return FLogOptions;
}

void TCxLogger::SetLogOptions(TLogOptions options)
{
    rtl::TLock lock(FLock);
    FLogOptions = options;
}

void TCxLogger::SetOnCxLogEvent(TCxLogEvent handler)
{
    rtl::TLock lock(FLock);
    FOnCxLogEvent = std::move(handler);
}

void TCxLogger::SetClock(TClock clock)
{
    rtl::TLock lock(FLock);
    FClock = std::move(clock);
}

}  // namespace calyx
