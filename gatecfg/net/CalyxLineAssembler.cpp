#include "net/CalyxLineAssembler.h"

#include <algorithm>
#include <cstring>

namespace calyx {

namespace {
constexpr char BS = 8;
constexpr char TAB = 9;
constexpr int TAB_WIDTH = 8;
}  // namespace

bool TLineAssembler::SetLineMode(bool on)
{
    if (on == FLineMode)
        return false;
    FLineMode = on;
    return FCount > 0 || FLineLength > 0;
}

char* TLineAssembler::Reserve(int count)
{
    const size_t need = size_t(FCount) + size_t(std::max(count, 0)) + 1;
    if (FBuf.size() < need)
        FBuf.resize(std::max(need, FBuf.size() * 2));
    return FBuf.data() + FCount;
}

void TLineAssembler::Feed(const char* data, int count)
{
    if (count > 0)
        std::memcpy(Reserve(count), data, size_t(count));
    Received(count);
}

// After an event: the owner (and this assembler with it) may be gone, or
// the session ended.
bool TLineAssembler::Alive(const TLifeWatch& watch, unsigned epoch)
{
    return !watch.Gone() && FEpoch == epoch && (FClosing || FSink.LineSessionOpen());
}

void TLineAssembler::Received(int count)
{
    count = std::max(count, 0);
    if (count == 0 && FCount == 0)
        return;
    const TLifeWatch watch(FLife);
    const unsigned epoch = FEpoch;
    const bool fresh = count > 0;
    int start = FCount;
    if (fresh) {
        if (LineEdit)
            EditReceivedChars(start, count);
        else if (LineEcho)
            FSink.SendEcho(FBuf.data() + start, count);
        if (!Alive(watch, epoch))
            return;
    }
    FCount = start + count;
    // Edited bytes are new to the search as well.
    FNoEndBefore = std::min(FNoEndBefore, std::max(0, start - int(LineEnd.size()) + 1));

    while (Active()) {
        if (FLineLength == 0) {
            const int pos = FindLineEnd();
            if (pos < 0)
                break;
            FLineLength = pos + int(LineEnd.size());
        }
        const TOffer offer = OfferLine(epoch);
        if (offer == TOffer::Closed)
            return;
        if (offer == TOffer::Stalled)
            break;
    }
    if (!FLineMode && !HandOutRest(epoch))
        return;

    if (LineLimit > 0 && FCount > LineLimit) {
        FClearData = true;
        FSink.LineLimitExceeded(FCount, FClearData);
        if (!Alive(watch, epoch))
            return;
        if (FClearData) {
            Discard();
            FClearData = false;
        }
    }
}

// Backspace and tab editing of the count bytes at start; afterwards start is
// the first changed position and count the number of bytes from there on.
void TLineAssembler::EditReceivedChars(int& start, int& count)
{
    std::string echo;
    std::string work;
    bool editing = false;
    int i = start;
    int lowest = start;
    // A complete line still waiting to be read has been offered already.
    const int floor = FLineLength;
    const auto beginEdit = [&] {
        if (!editing)
            work.assign(FBuf.data(), size_t(i));
        editing = true;
    };
    for (int j = start; j < start + count; ++j) {
        const char c = FBuf[size_t(j)];
        if (c == BS) {
            beginEdit();
            if (i > floor) {
                if (LineEcho)
                    echo += "\b \b";
                work.pop_back();
                lowest = std::min(lowest, --i);
            }
        } else if (c == TAB) {
            beginEdit();
            do {
                work.push_back(' ');
                if (LineEcho)
                    echo.push_back(' ');
            } while (++i % TAB_WIDTH != 0);
        } else {
            if (LineEcho)
                echo.push_back(c);
            if (editing)
                work.push_back(c);
            ++i;
        }
    }
    // The echo goes first: when it fails, the buffered bytes are still whole.
    if (!echo.empty()) {
        const TLifeWatch watch(FLife);
        FSink.SendEcho(echo.data(), int(echo.size()));
        if (watch.Gone())
            return;
    }
    if (editing) {
        FCount = 0;
        std::memcpy(Reserve(int(work.size())), work.data(), work.size());
        start = lowest;
        count = i - lowest;
    }
}

// Searches from where the last search stopped: a pass that ended early (an
// event raised, or the next chunk came in during one) leaves unsearched
// bytes behind the line it offered, and the next chunk's search must see them.
int TLineAssembler::FindLineEnd()
{
    const int len = int(LineEnd.size());
    const char* buf = FBuf.data();
    const int from = LineEnd == FSearchedFor ? FNoEndBefore : 0;
    FSearchedFor = LineEnd;
    for (int pos = from; pos + len <= FCount; ++pos) {
        const void* hit = std::memchr(buf + pos, LineEnd[0], size_t(FCount - len - pos + 1));
        if (!hit)
            break;
        pos = int(static_cast<const char*>(hit) - buf);
        if (std::memcmp(buf + pos, LineEnd.data(), size_t(len)) == 0) {
            FNoEndBefore = pos;
            return pos;
        }
    }
    FNoEndBefore = std::max(from, FCount - len + 1);
    return -1;
}

// Raises the event until the line is read. A handler that reads nothing is
// not asked again: the line stays current for a later read or event.
TLineAssembler::TOffer TLineAssembler::OfferLine(unsigned epoch)
{
    const TLifeWatch watch(FLife);
    while (FLineMode && FLineLength > 0) {
        const int before = FLineLength;
        const bool assigned = FSink.LineDataAvailable();
        if (!Alive(watch, epoch))
            return TOffer::Closed;
        if (!assigned)
            Take(FLineLength);
        else if (FLineMode && FLineLength == before)
            return TOffer::Stalled;
    }
    return TOffer::Taken;
}

// Line mode went off inside an event: the rest goes out raw.
bool TLineAssembler::HandOutRest(unsigned epoch)
{
    const TLifeWatch watch(FLife);
    while (!FLineMode && FCount > 0) {
        const int before = FCount;
        const bool assigned = FSink.LineDataAvailable();
        if (!Alive(watch, epoch))
            return false;
        if (!assigned)
            Discard();
        else if (FCount == before)
            break;
    }
    return true;
}

void TLineAssembler::Reprocess()
{
    const TLifeWatch watch(FLife);
    const unsigned epoch = FEpoch;
    while (FCount > 0 && Alive(watch, epoch)) {
        const int before = FCount;
        if (Active())
            Received(0);
        else
            HandOutRest(epoch);
        if (watch.Gone() || FCount == before)
            break;
    }
}

void TLineAssembler::SessionClosed()
{
    if (FClosing)
        return;
    FClosing = true;
    const TLifeWatch watch(FLife);
    try {
        if (FLineMode && FCount > 0 && !FClearData) {
            FLineLength = FCount;
            OfferLine(FEpoch);
        }
    } catch (...) {
        if (!watch.Gone())
            EndSession();
        throw;
    }
    if (!watch.Gone())
        EndSession();
}

void TLineAssembler::EndSession() noexcept
{
    std::vector<char>().swap(FBuf);
    FCount = 0;
    FLineLength = 0;
    FNoEndBefore = 0;
    FClearData = false;
    FClosing = false;
    ++FEpoch;
}

int TLineAssembler::Read(char* dest, int length)
{
    const int n = std::min(length, Available());
    if (n <= 0)
        return 0;
    std::memcpy(dest, FBuf.data(), size_t(n));
    Take(n);
    return n;
}

void TLineAssembler::Take(int count) noexcept
{
    std::memmove(FBuf.data(), FBuf.data() + count, size_t(FCount - count));
    FCount -= count;
    FLineLength = std::max(0, FLineLength - count);
    FNoEndBefore = std::max(0, FNoEndBefore - count);
}

void TLineAssembler::Discard() noexcept
{
    FCount = 0;
    FLineLength = 0;
    FNoEndBefore = 0;
}

}  // namespace calyx
