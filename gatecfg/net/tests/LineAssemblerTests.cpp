#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Guarded.h"
#include "net/CalyxLineAssembler.h"

using namespace calyx;

namespace {

// Stands in for the socket: the default handler reads each line whole, as
// ReceiveStr does inside the data-available event.
struct Peer : TLineSink {
    TLineAssembler A{*this};
    bool Open = true;
    bool HasHandler = true;
    int DataEvents = 0;
    int ClosedEvents = 0;
    std::vector<std::string> Lines;
    std::vector<int> Limits;
    std::string Echoed;
    std::function<void()> OnData;
    std::function<void(bool&)> OnLimit;
    bool EchoFails = false;

    Peer() { A.SetLineMode(true); }

    std::string Read(int max = 1 << 20)
    {
        std::string s(size_t(max), '\0');
        s.resize(size_t(A.Read(&s[0], max)));
        return s;
    }
    void Feed(const std::string& s) { A.Feed(s.data(), int(s.size())); }
    void Close()
    {
        if (!Open)
            return;
        Open = false;
        A.SessionClosed();
        ++ClosedEvents;
    }

    bool LineDataAvailable() override
    {
        ++DataEvents;
        if (!HasHandler)
            return false;
        if (OnData)
            OnData();
        else
            Lines.push_back(Read());
        return true;
    }
    void LineLimitExceeded(int rcvdLength, bool& clearData) override
    {
        Limits.push_back(rcvdLength);
        if (OnLimit)
            OnLimit(clearData);
    }
    void SendEcho(const char* data, int length) override
    {
        if (EchoFails)
            throw std::runtime_error("echo failed");
        Echoed.append(data, size_t(length));
    }
    bool LineSessionOpen() override { return Open; }
};

using Lines = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string lineEnd;
    std::vector<std::string> chunks;
    Lines lines;
    std::string rest;  // still buffered afterwards
};

TEST(LineAssembler, CutsChunksAtTheLineEnd)
{
    const SplitCase cases[] = {
        {"terminator split", "\r\n", {"AB\r", "\nCD\r\n"}, {"AB\r\n", "CD\r\n"}, ""},
        {"three in one chunk", "\r\n", {"a\r\nbb\r\nccc\r\n"}, {"a\r\n", "bb\r\n", "ccc\r\n"}, ""},
        {"byte by byte", "\r\n", {"x", "\r", "\n", "y", "\r", "\n"}, {"x\r\n", "y\r\n"}, ""},
        {"lone CR is data", "\r\n", {"a\rb\n\r\n"}, {"a\rb\n\r\n"}, ""},
        {"partial rest kept", "\r\n", {"one\r\ntw", "o"}, {"one\r\n"}, "two"},
        {"three-byte end split twice", "END", {"aE", "N", "Db"}, {"aEND"}, "b"},
        {"false start before the end", "\r\n", {"a\r", "\r", "\n"}, {"a\r\r\n"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Peer p;
        p.A.LineEnd = c.lineEnd;
        for (const auto& chunk : c.chunks)
            p.Feed(chunk);
        EXPECT_EQ(p.Lines, c.lines);
        EXPECT_EQ(p.A.BufferedCount(), int(c.rest.size()));
        EXPECT_EQ(p.A.LineLength(), 0);
        p.Close();
        // The unterminated rest comes out as the last line.
        Lines expected = c.lines;
        if (!c.rest.empty())
            expected.push_back(c.rest);
        EXPECT_EQ(p.Lines, expected);
    }
}

TEST(LineAssembler, PartialReadsInsideTheEventAreRaisedAgainUntilTheLineIsRead)
{
    Peer p;
    std::vector<std::pair<int, std::string>> reads;  // line length seen, bytes read
    p.OnData = [&] {
        const int length = p.A.LineLength();
        reads.emplace_back(length, p.Read(2));
    };
    p.Feed("abcd\r\nxy");
    p.Feed("z\r\n");
    const std::vector<std::pair<int, std::string>> expected = {
        {6, "ab"}, {4, "cd"}, {2, "\r\n"}, {5, "xy"}, {3, "z\r"}, {1, "\n"}};
    EXPECT_EQ(reads, expected);
    EXPECT_EQ(p.A.BufferedCount(), 0);
}

TEST(LineAssembler, AHandlerThatReadsNothingIsNotRaisedForEver)
{
    Peer p;
    p.OnData = [] {};
    p.Feed("first\r\nsecond\r\n");
    EXPECT_EQ(p.DataEvents, 1);
    EXPECT_EQ(p.A.LineLength(), 7);  // still current, nothing lost

    // Next chunk: the waiting line is offered first, then the rest in order.
    p.OnData = nullptr;
    p.Feed("third\r\n");
    EXPECT_EQ(p.Lines, (Lines{"first\r\n", "second\r\n", "third\r\n"}));
}

// A pass may end before it has looked at every buffered byte: the handler
// raised after reading its line, or the next chunk arrived inside the event
// (a message loop in the handler). The next search starts where the last
// complete line ended, so no two lines run together.
TEST(LineAssembler, LinesLeftByAnInterruptedPassStaySeparate)
{
    for (const bool raise : {true, false}) {
        SCOPED_TRACE(raise ? "handler raised" : "chunk arrived inside the event");
        Peer p;
        p.A.LineEnd = "\n";
        p.A.LineLimit = 120;
        bool first = true;
        p.OnData = [&] {
            p.Lines.push_back(p.Read());
            if (!std::exchange(first, false))
                return;
            if (raise)
                throw std::runtime_error("handler failed");
            p.Feed("D\n");
        };
        if (raise) {
            EXPECT_THROW(p.Feed("A\nB\nC\n"), std::runtime_error);
            p.Feed("D\n");
        } else {
            p.Feed("A\nB\nC\n");
        }
        EXPECT_EQ(p.Lines, (Lines{"A\n", "B\n", "C\n", "D\n"}));
        EXPECT_TRUE(p.Limits.empty());
        EXPECT_EQ(p.A.BufferedCount(), 0);
    }
}

TEST(LineAssembler, WithoutHandlerLinesAreDropped)
{
    Peer p;
    p.HasHandler = false;
    p.Feed("a\r\nb\r\nc");
    EXPECT_EQ(p.DataEvents, 2);
    EXPECT_EQ(p.A.BufferedCount(), 1);
}

struct EditCase {
    const char* name;
    bool echo;
    std::vector<std::string> chunks;
    std::string line;  // without the terminator
    std::string echoed;
};

TEST(LineAssembler, LineEditAppliesBackspaceAndTabs)
{
    const std::string tabs200(200, '\t');
    const EditCase cases[] = {
        {"backspace with echo", true, {"AX\bB\r\n"}, "AB", "AX\b \bB\r\n"},
        {"backspace at the start", true, {"\b\bA\r\n"}, "A", "A\r\n"},
        {"backspace into the previous chunk", false, {"abc", "\b\bZ\r\n"}, "aZ", ""},
        {"tab after three", true, {"abc\tX\r\n"}, "abc     X", "abc     X\r\n"},
        {"tab at a multiple of 8", false, {"12345678\t.\r\n"}, "12345678        .", ""},
        {"tab at the start", false, {"\t.\r\n"}, "        .", ""},
        // Editing starts after plain bytes of this chunk and of the last one.
        {"tab after plain bytes", false, {"ab", "cd\tef\r\n"}, "abcd    ef", ""},
        {"200 tabs in one chunk", false, {tabs200 + "\r\n"}, std::string(1600, ' '), ""},
        {"200 tabs with echo", true, {tabs200, "\r\n"}, std::string(1600, ' '),
         std::string(1600, ' ') + "\r\n"},
        {"tab then backspace", false, {"a\t\bb\r\n"}, "a      b", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Peer p;
        p.A.LineEdit = true;
        p.A.LineEcho = c.echo;
        for (const auto& chunk : c.chunks)
            p.Feed(chunk);
        EXPECT_EQ(p.Lines, Lines{c.line + "\r\n"});
        EXPECT_EQ(p.Echoed, c.echoed);
        EXPECT_EQ(p.A.BufferedCount(), 0);
    }
}

TEST(LineAssembler, EchoWithoutEditSendsTheBytesBackUnchanged)
{
    Peer p;
    p.A.LineEcho = true;
    p.Feed("a\b\t\r\n");
    EXPECT_EQ(p.Echoed, "a\b\t\r\n");
    EXPECT_EQ(p.Lines, Lines{"a\b\t\r\n"});
}

// The chunk whose echo failed goes with the error; what was buffered before
// it is kept, edited or not.
TEST(LineAssembler, AFailingEchoKeepsTheBytesBufferedBeforeIt)
{
    for (const bool edit : {false, true}) {
        SCOPED_TRACE(edit ? "with editing" : "without editing");
        Peer p;
        p.A.LineEdit = edit;
        p.A.LineEcho = true;
        p.Feed("ab");
        p.EchoFails = true;
        EXPECT_THROW(p.Feed("c\tz"), std::runtime_error);
        EXPECT_EQ(p.A.BufferedCount(), 2);
        p.EchoFails = false;
        p.Feed("x\r\n");
        EXPECT_EQ(p.Lines, Lines{"abx\r\n"});
    }
}

TEST(LineAssembler, LimitClearsTheBufferUnlessTheHandlerKeepsIt)
{
    Peer p;
    p.A.LineLimit = 160;
    p.Feed("ok\r\n" + std::string(160, 'x'));
    EXPECT_TRUE(p.Limits.empty());
    p.Feed("x");
    EXPECT_EQ(p.Limits, std::vector<int>{161});
    EXPECT_EQ(p.A.BufferedCount(), 0);

    p.OnLimit = [](bool& clear) { clear = false; };
    p.Feed(std::string(161, 'y'));
    EXPECT_EQ(p.A.BufferedCount(), 161);
    p.Feed("\r\n");
    EXPECT_EQ(p.Lines, (Lines{"ok\r\n", std::string(161, 'y') + "\r\n"}));
}

TEST(LineAssembler, CloseInsideTheLimitEventStopsAtOnce)
{
    Peer p;
    p.A.LineLimit = 160;
    p.OnLimit = [&](bool& clear) {
        EXPECT_TRUE(clear);
        p.Close();
    };
    p.Feed("ok\r\n" + std::string(200, 'x'));
    EXPECT_EQ(p.Limits, std::vector<int>{200});
    EXPECT_EQ(p.Lines, Lines{"ok\r\n"});  // the long rest is no last line
    EXPECT_EQ(p.ClosedEvents, 1);
    EXPECT_EQ(p.A.BufferedCount(), 0);
    p.Close();
    EXPECT_EQ(p.ClosedEvents, 1);
    EXPECT_EQ(p.DataEvents, 1);

    // A new session starts clean: its unterminated rest is delivered.
    p.Open = true;
    p.Feed("next");
    p.Close();
    EXPECT_EQ(p.Lines, (Lines{"ok\r\n", "next"}));
}

TEST(LineAssembler, CloseInsideTheDataEventEndsTheLoop)
{
    Peer p;
    p.OnData = [&] {
        p.Lines.push_back(p.Read());
        p.Close();
    };
    p.Feed("a\r\nb\r\nc");
    // The close hands what is buffered out as the last line; nothing after.
    EXPECT_EQ(p.Lines, (Lines{"a\r\n", "b\r\nc"}));
    EXPECT_EQ(p.DataEvents, 2);
    EXPECT_EQ(p.ClosedEvents, 1);
    EXPECT_EQ(p.A.BufferedCount(), 0);
}

TEST(LineAssembler, UnterminatedRestAtCloseIsDeliveredOnce)
{
    Peer p;
    p.Feed("xyz");
    EXPECT_EQ(p.DataEvents, 0);
    p.Close();
    EXPECT_EQ(p.Lines, Lines{"xyz"});
    EXPECT_EQ(p.DataEvents, 1);

    // A handler that does not read it is asked once, and so is one that
    // closes again from inside the event.
    Peer q;
    q.OnData = [&] { q.A.SessionClosed(); };
    q.Feed("xyz");
    q.Close();
    EXPECT_EQ(q.DataEvents, 1);
    EXPECT_EQ(q.A.BufferedCount(), 0);
}

TEST(LineAssembler, LineModeOffInsideTheEventHandsOutTheRestRaw)
{
    Peer p;
    std::vector<std::string> raw;
    p.OnData = [&] {
        if (p.A.LineMode()) {
            p.Lines.push_back(p.Read());
            p.A.SetLineMode(false);
        } else {
            raw.push_back(p.Read(4));
        }
    };
    p.Feed("a\r\nbc\r\ndefgh");
    EXPECT_EQ(p.Lines, Lines{"a\r\n"});
    EXPECT_EQ(raw, (Lines{"bc\r\n", "defg", "h"}));
    EXPECT_EQ(p.A.BufferedCount(), 0);
}

TEST(LineAssembler, SwitchingLineModeBackOnReprocessesTheBuffer)
{
    Peer p;
    p.OnData = [&] {
        if (p.A.LineMode()) {  // the raw rest is left unread
            p.Lines.push_back(p.Read());
            p.A.SetLineMode(false);
        }
    };
    p.Feed("a\r\nb\r\nc\r\nd");
    EXPECT_EQ(p.A.BufferedCount(), 7);

    p.OnData = nullptr;
    EXPECT_FALSE(p.A.SetLineMode(false));
    ASSERT_TRUE(p.A.SetLineMode(true));
    p.A.Reprocess();
    EXPECT_EQ(p.Lines, (Lines{"a\r\n", "b\r\n", "c\r\n"}));
    EXPECT_EQ(p.A.BufferedCount(), 1);
}

}  // namespace

namespace {

// An owner that destroys its assembler from inside one of its events; any
// use of the assembler afterwards faults (TGuarded).
struct DestroyingOwner : TLineSink {
    enum TWhen { OnLine, OnRawRest, OnLimit, OnEcho };
    explicit DestroyingOwner(TWhen when) : When(when) { A->SetLineMode(true); }

    std::unique_ptr<xstest::TGuarded<TLineAssembler>> A =
        std::make_unique<xstest::TGuarded<TLineAssembler>>(*this);
    TWhen When;
    int Events = 0;

    void Die()
    {
        ++Events;
        A.reset();
    }
    bool LineDataAvailable() override
    {
        if (When == OnLine || (When == OnRawRest && !A->LineMode()))
            Die();
        else if (When == OnRawRest)
            A->SetLineMode(false);
        return true;
    }
    void LineLimitExceeded(int, bool&) override
    {
        if (When == OnLimit)
            Die();
    }
    void SendEcho(const char*, int) override
    {
        if (When == OnEcho)
            Die();
    }
    bool LineSessionOpen() override { return true; }
};

}  // namespace

TEST(LineAssembler, AnOwnerMayDestroyItInsideAnyEvent)
{
    struct TCase {
        const char* Name;
        DestroyingOwner::TWhen When;
        bool Edit, Echo;
        std::string Chunk;
        bool Close;  // the event is the last line at the session's close
    } const kCases[] = {
        {"line", DestroyingOwner::OnLine, false, false, "a\r\nb\r\n", false},
        {"last line at close", DestroyingOwner::OnLine, false, false, "rest", true},
        {"raw rest after line mode went off", DestroyingOwner::OnRawRest, false, false, "a\r\nbc", false},
        {"line limit", DestroyingOwner::OnLimit, false, false, std::string(70000, 'x'), false},
        {"echo", DestroyingOwner::OnEcho, false, true, "a\r\n", false},
        {"echo of an edited chunk", DestroyingOwner::OnEcho, true, true, "ab\bc\r\n", false},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        DestroyingOwner owner(c.When);
        owner.A->LineEdit = c.Edit;
        owner.A->LineEcho = c.Echo;
        owner.A->Feed(c.Chunk.data(), int(c.Chunk.size()));
        if (c.Close && owner.A)
            owner.A->SessionClosed();
        EXPECT_EQ(owner.Events, 1);
        EXPECT_EQ(owner.A, nullptr);
    }
}
