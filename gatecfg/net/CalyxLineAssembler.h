#pragma once
// Cuts a received byte stream into lines for the line layer of the socket.
// It knows no socket: the owner hands it the bytes as they arrive and answers
// its events through TLineSink. Every event may close the session, switch
// line mode, read part of the line or even destroy the owner (and this
// assembler); the assembler looks at its state again after each one and
// stops at once when the session or the owner has gone.
#include <string>
#include <vector>

#include "net/CalyxLifeWatch.h"

namespace calyx {

class TLineSink {
public:
    // The owner's data-available event for the line (or, with line mode off,
    // the raw bytes) now offered; false when no handler is assigned.
    virtual bool LineDataAvailable() = 0;
    // More than LineLimit bytes wait without a terminator; clearData (True
    // on entry) discards them when left set.
    virtual void LineLimitExceeded(int rcvdLength, bool& clearData) = 0;
    // Characters to send back to the peer.
    virtual void SendEcho(const char* data, int length) = 0;
    virtual bool LineSessionOpen() = 0;

protected:
    ~TLineSink() = default;
};

class TLineAssembler {
public:
    explicit TLineAssembler(TLineSink& sink) : FSink(sink) {}
    TLineAssembler(const TLineAssembler&) = delete;
    TLineAssembler& operator=(const TLineAssembler&) = delete;

    std::string LineEnd = "\r\n";
    int LineLimit = 65536;  // 0 or less: no limit
    bool LineEdit = false;
    bool LineEcho = false;

    bool LineMode() const noexcept { return FLineMode; }
    // True when bytes wait that must be looked at again under the new mode.
    bool SetLineMode(bool on);
    // Line mode on with a terminator to look for.
    bool Active() const noexcept { return FLineMode && !LineEnd.empty(); }

    // Room for count more bytes after the buffered ones; the owner receives
    // into it and then calls Received with the number it got.
    char* Reserve(int count);
    // Edits and echoes the new bytes, then offers every complete line.
    void Received(int count);
    // Reserve, copy and Received in one.
    void Feed(const char* data, int count);
    // Looks at the buffered bytes again (after a change of line mode).
    void Reprocess();
    // Offers an unterminated rest as a last line, then frees the buffer.
    void SessionClosed();

    // What a read now hands out: the current line in line mode, else every
    // buffered byte; 0 sends the reader to the socket itself.
    int Available() const noexcept { return FLineMode ? FLineLength : FCount; }
    // Copies up to length bytes of what Available counts and takes them off.
    int Read(char* dest, int length);

    int BufferedCount() const noexcept { return FCount; }
    int LineLength() const noexcept { return FLineLength; }

private:
    enum class TOffer { Taken, Stalled, Closed };

    bool Alive(const TLifeWatch& watch, unsigned epoch);
    void EditReceivedChars(int& start, int& count);
    int FindLineEnd();
    TOffer OfferLine(unsigned epoch);
    bool HandOutRest(unsigned epoch);
    void Discard() noexcept;
    void EndSession() noexcept;
    void Take(int count) noexcept;

    TLineSink& FSink;
    TLifeWatchList FLife;
    std::vector<char> FBuf;
    int FCount = 0;
    int FLineLength = 0;
    // No FSearchedFor starts before this position of the buffer.
    int FNoEndBefore = 0;
    std::string FSearchedFor;
    bool FLineMode = false;
    bool FClearData = false;
    bool FClosing = false;
    // Counts session ends, so that an event which closed the session is seen
    // even when the owner already reports a new one.
    unsigned FEpoch = 0;
};

}  // namespace calyx
