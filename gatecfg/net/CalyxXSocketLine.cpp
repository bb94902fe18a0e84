#include "net/CalyxXSocketLine.h"

#include "net/CalyxLibrary.h"

namespace calyx {

void TCustomLineXSocket::SetLineMode(bool on)
{
    if (FLines.SetLineMode(on))
        lib::PostMessageA(Handle(), MsgDataRetrigger(), 0, 0);
}

int TCustomLineXSocket::SendTextLine(const std::string& text)
{
    const TCxLifeGuard life(this);
    const int sent = SendStr(text);
    if (sent <= 0 || !life.InService())
        return sent;
    if (SendStr(LineEnd()) <= 0)
        return -1;
    return int(text.size() + LineEnd().size());
}

int TCustomLineXSocket::GetRcvdCount()
{
    if (FLines.LineMode())
        return FLines.LineLength();
    // Bytes left from line mode are handed out before the socket's own.
    if (FLines.BufferedCount() > 0)
        return FLines.BufferedCount();
    return TCustomSslXSocket::GetRcvdCount();
}

void TCustomLineXSocket::WndProc(TMessage& msg)
{
    if (msg.Msg == 0 || msg.Msg != MsgDataRetrigger()) {
        TCustomSslXSocket::WndProc(msg);
        return;
    }
    HandleGuarded([&] {
        FDataError = 0;
        FLines.Reprocess();
    });
}

void TCustomLineXSocket::TriggerLineLimitExceeded(int rcvdLength, bool& clearData)
{
    if (OnLineLimitExceeded.Assigned())
        OnLineLimitExceeded(this, rcvdLength, clearData);
}

bool TCustomLineXSocket::TriggerDataAvailable(WORD error)
{
    if (!FLines.Active() || SocksNegotiating())
        return TCustomSslXSocket::TriggerDataAvailable(error);
    // Claiming the event keeps the socket from reading and dropping bytes.
    int count = TCustomSslXSocket::GetRcvdCount();
    if (count < 0)
        return true;
    if (count == 0)
        count = 255;
    const int got = TCustomSslXSocket::DoRecv(FLines.Reserve(count), count, 0);
    FDataError = error;
    FLines.Received(got > 0 ? got : 0);
    return true;
}

void TCustomLineXSocket::TriggerSessionClosed(WORD error)
{
    FDataError = 0;
    // The last line's handler may free the component.
    const TCxLifeGuard life(this);
    try {
        FLines.SessionClosed();
    } catch (...) {
        if (life.InService())
            TCustomSslXSocket::TriggerSessionClosed(error);
        throw;
    }
    if (life.InService())
        TCustomSslXSocket::TriggerSessionClosed(error);
}

int TCustomLineXSocket::DoRecv(void* buffer, int len, int flags)
{
    if (FLines.Available() > 0)
        return FLines.Read(static_cast<char*>(buffer), len);
    return TCustomSslXSocket::DoRecv(buffer, len, flags);
}

bool TCustomLineXSocket::LineDataAvailable()
{
    return TCustomSslXSocket::TriggerDataAvailable(FDataError);
}

void TCustomLineXSocket::LineLimitExceeded(int rcvdLength, bool& clearData)
{
    TriggerLineLimitExceeded(rcvdLength, clearData);
}

void TCustomLineXSocket::SendEcho(const char* data, int length)
{
    Send(data, length);
}

bool TCustomLineXSocket::LineSessionOpen()
{
    return HSocket() != INVALID_SOCKET && State() != wsClosed;
}

}  // namespace calyx
