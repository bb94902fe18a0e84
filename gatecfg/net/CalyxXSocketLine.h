#pragma once
// The line layer of the socket chain: received bytes are cut at LineEnd and
// the data-available event fires once per complete line, so that ReceiveStr
// inside it returns exactly that line with its terminator. Optional backspace
// and tab editing with echo serves a remote typist; LineLimit guards against
// endless lines.
#include <string>

#include "net/CalyxLineAssembler.h"
#include "net/CalyxSslXSocket.h"

namespace calyx {

// (Sender, RcvdLength, var ClearData)
using TLineLimitExceeded = rtl::TEvent<rtl::TObject*, int, bool&>;

class TCustomLineXSocket : public TCustomSslXSocket, private TLineSink {
public:
    explicit TCustomLineXSocket(rtl::TComponent* owner) : TCustomSslXSocket(owner) {}

    bool LineMode() const noexcept { return FLines.LineMode(); }
    // Bytes already buffered are looked at again under the new mode, from
    // the message loop.
    virtual void SetLineMode(bool on);
    const std::string& LineEnd() const noexcept { return FLines.LineEnd; }
    void SetLineEnd(const std::string& value) { FLines.LineEnd = value; }
    int LineLimit() const noexcept { return FLines.LineLimit; }
    void SetLineLimit(int value) noexcept { FLines.LineLimit = value; }
    bool LineEdit() const noexcept { return FLines.LineEdit; }
    void SetLineEdit(bool value) noexcept { FLines.LineEdit = value; }
    bool LineEcho() const noexcept { return FLines.LineEcho; }
    void SetLineEcho(bool value) noexcept { FLines.LineEcho = value; }
    int BufferedLineBytes() const noexcept { return FLines.BufferedCount(); }

    TLineLimitExceeded OnLineLimitExceeded;

    // text, then LineEnd; the bytes sent, -1 when the line end failed, or
    // the result of the text's send when that sent nothing.
    virtual int SendTextLine(const std::string& text);
    int GetRcvdCount() override;
    void WndProc(TMessage& msg) override;

protected:
    ~TCustomLineXSocket() override = default;

    virtual void TriggerLineLimitExceeded(int rcvdLength, bool& clearData);
    bool TriggerDataAvailable(WORD error) override;
    void TriggerSessionClosed(WORD error) override;
    int DoRecv(void* buffer, int len, int flags) override;

private:
    bool LineDataAvailable() override;
    void LineLimitExceeded(int rcvdLength, bool& clearData) override;
    void SendEcho(const char* data, int length) override;
    bool LineSessionOpen() override;

    TLineAssembler FLines{*this};
    WORD FDataError = 0;
};

}  // namespace calyx
