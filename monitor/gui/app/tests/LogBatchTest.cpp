// Lines that go into the log view together show exactly what appending them
// one at a time shows: the same text and, character by character, the same
// format, read back from real rich edits. A burst is held for a moment and
// then goes in without waiting for another line.
#include "AppTesting.h"
#include "EventLine.h"
#include "LogBatch.h"
#include "MonitorSettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

namespace {

// One line and the format it is shown in (none: the format at the end).
struct FormattedLine {
    const CHARFORMATA* format;
    std::string text;
};

// The properties a character shows, as the control reports them.
std::string Describe(const CHARFORMATA& f)
{
    std::ostringstream out;
    out << std::hex << "mask " << f.dwMask << " effects " << f.dwEffects << " colour " << f.crTextColor << std::dec
        << " height " << f.yHeight << " offset " << f.yOffset << " charset " << int(f.bCharSet) << " pitch "
        << int(f.bPitchAndFamily) << " face " << f.szFaceName;
    return out.str();
}

class LogBatchTest : public GuiCoreTest {
protected:
    void SetUp() override
    {
        GuiCoreTest::SetUp();
        LoadSettingsDefaults(settings);
        // Formats that describe only some properties: each line's own lies
        // over those of the lines before it.
        colourOnly.cbSize = sizeof colourOnly;
        colourOnly.dwMask = CFM_COLOR;
        colourOnly.crTextColor = RGB(200, 0, 200);
        italicOnly.cbSize = sizeof italicOnly;
        italicOnly.dwMask = CFM_ITALIC | CFM_UNDERLINE;
        italicOnly.dwEffects = CFE_ITALIC;
        faceAndSize.cbSize = sizeof faceAndSize;
        faceAndSize.dwMask = CFM_FACE | CFM_SIZE;
        faceAndSize.yHeight = 240;
        faceAndSize.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
        std::strcpy(faceAndSize.szFaceName, "Courier New");
        for (ViewHost*& host : hosts) {
            host = ViewHost::Make();
            ASSERT_NE(host, nullptr);
        }
    }
    void TearDown() override
    {
        for (ViewHost* host : hosts)
            if (host)
                host->DestroyWindow();
        GuiCoreTest::TearDown();
    }

    const CHARFORMATA* Info() const { return &settings.Info.CharFormat; }
    const CHARFORMATA* Warning() const { return &settings.Warning.CharFormat; }
    const CHARFORMATA* Error() const { return &settings.Error.CharFormat; }

    // Both views emptied, limited and given the same lines one at a time.
    void Prepare(long limit, const std::vector<FormattedLine>& before)
    {
        for (ViewHost* host : hosts) {
            host->view.SetWindowText("");
            host->view.LimitText(limit);
            for (const FormattedLine& line : before)
                LogViewAppend(host->view, line.format, line.text);
        }
    }

    // The text of both views and the format of every character agree.
    void ExpectSameViews(const char* when)
    {
        SCOPED_TRACE(when);
        CLogView& single = hosts[0]->view;
        CLogView& batched = hosts[1]->view;
        const std::string text = ViewText(single);
        ASSERT_EQ(ViewText(batched), text);
        for (long i = 0; i < long(text.size()); ++i)
            ASSERT_EQ(Describe(FormatOf(batched, i, i + 1)), Describe(FormatOf(single, i, i + 1)))
                << "character " << i << " of \"" << text << "\"";
        // What the next line takes from the end of the text.
        ASSERT_EQ(Describe(FormatOf(batched, long(text.size()), long(text.size()))),
                  Describe(FormatOf(single, long(text.size()), long(text.size()))))
            << "at the end";
    }

    MonitorSettings settings{};
    CHARFORMATA colourOnly{}, italicOnly{}, faceAndSize{};
    ViewHost* hosts[2] = {};  // lines one at a time; the same lines as one batch
};

TEST_F(LogBatchTest, ABatchShowsTheTextAndFormatsThatItsLinesShowOneAtATime)
{
    const std::string stamp = "12/10/26 21:57:35";
    const auto line = [&](const char* prefix, const char* port, const SeverityEntry& entry, const char* text) {
        return FormattedLine{&entry.CharFormat, BuildEventLine(prefix, stamp, port, entry.TypeTag, text)};
    };
    const FormattedLine info = line("%p: ", "COM1", settings.Info, "Device opened");
    const FormattedLine warning = line("%p: ", "COM2", settings.Warning, "Connection slow");
    const FormattedLine error = line("%p: ", "COM3", settings.Error, "Connection refused");

    struct Case {
        const char* what;
        long limit;
        std::vector<FormattedLine> before, batch;
    };
    const Case cases[] = {
        {"mixed severities into an empty view", 32767, {}, {info, error, warning, error, error, info}},
        {"mixed severities after lines of another severity", 32767, {error, warning}, {info, info, error, warning}},
        {"a prefix with every placeholder",
         32767,
         {info},
         {line("%t [%p] %m: ", "COM7", settings.Error, "Connection refused"),
          line("%m%p%t%%m ", "%m", settings.Info, "Device opened"),
          line("%t %t|%p|%m|%m", "COM8", settings.Warning, "")}},
        {"formats that describe some properties, and lines without a format",
         32767,
         {error},
         {{&colourOnly, "colour only\r\n"},
          {nullptr, "the format at the end\r\n"},
          {&italicOnly, "italic only\r\n"},
          {Info(), "info\r\n"},
          {&faceAndSize, "face and size only\r\n"},
          {&colourOnly, "colour only again\r\n"},
          {nullptr, "none again\r\n"}}},
        {"a full view drops its oldest text mid-batch", 120, {info, warning, error, info}, {error, warning, info}},
        {"the oldest text is dropped inside a line end", 100, {info, warning, error},
         {{Error(), std::string(27, 'x') + "\r\n"}, info}},
        {"an empty batch", 32767, {info, error}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(c.limit, c.before);
        LogBatch batch;
        for (const FormattedLine& l : c.batch) {
            ASSERT_TRUE(batch.Takes(l.text.size(), c.limit));
            batch.Add(l.format, l.text);
            LogViewAppend(hosts[0]->view, l.format, l.text);
        }
        LogViewAppendBatch(hosts[1]->view, batch);
        ExpectSameViews("after the batch");
        for (ViewHost* host : hosts)
            LogViewAppend(host->view, nullptr, "the next line\r\n");
        ExpectSameViews("after a line that follows it");
    }
}

TEST_F(LogBatchTest, ABatchStaysShorterThanTheViewsLimitAndFormatsOnlyWhatDiffersFromTheEnd)
{
    LogBatch batch;
    EXPECT_TRUE(batch.Takes(500, 100)) << "a line longer than the view still goes, by itself";
    batch.Add(Info(), "0123456789\r\n");
    batch.Add(Info(), "same format\r\n");
    batch.Add(nullptr, "no format\r\n");
    batch.Add(Error(), "error\r\n");
    batch.Add(Error(), "error\r\n");
    EXPECT_EQ(batch.lines(), 5u);
    EXPECT_EQ(batch.text(), "0123456789\r\nsame format\r\nno format\r\nerror\r\nerror\r\n");
    EXPECT_TRUE(batch.Takes(100 - 50 - 1, 100));
    EXPECT_FALSE(batch.Takes(100 - 50, 100)) << "the text it follows would be cut away entirely";

    // Where the end shows the Info format, only the error lines need a pass.
    CHARFORMATA end = *Info();
    end.dwMask = CFM_ALL;
    const std::vector<LogFormatRun> runs = batch.Runs(end);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].start, 36u);
    EXPECT_EQ(runs[0].end, 50u);
    EXPECT_TRUE(SameCharFormat(runs[0].format, MergeCharFormat(end, Error())));
    batch.Clear();
    EXPECT_EQ(batch.lines(), 0u);
    EXPECT_TRUE(batch.Runs(end).empty());

    EXPECT_EQ(LogBatchWait(1000, 0, 50), 0u) << "a trickle";
    EXPECT_EQ(LogBatchWait(1050, 1000, 50), 0u);
    EXPECT_EQ(LogBatchWait(1010, 1000, 50), 40u);
    EXPECT_EQ(LogBatchWait(5, 0xFFFFFFF0u, 50), 29u) << "across the tick count's wrap";
}

TEST_F(LogBatchTest, TheFirstLineShowsAtOnceAndAHeldBurstFollowsWithoutAnotherLine)
{
    CLogView& view = hosts[0]->view;
    PumpPending();
    view.AppendLine(Info(), "first\r\n");
    EXPECT_EQ(ViewText(view), "first\r\n");
    view.AppendLine(Error(), "second\r\n");
    view.AppendLine(Warning(), "third\r\n");
    EXPECT_TRUE(PumpUntil([&] { return ViewText(view) == "first\r\nsecond\r\nthird\r\n"; })) << ViewText(view);
}

}  // namespace
