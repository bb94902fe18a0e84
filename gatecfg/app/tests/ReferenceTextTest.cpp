#include "ReferenceText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "ControllerFrame.h"
#include "Cp1251.h"

using namespace gatecfg;

namespace {

std::vector<std::wstring> LinesOf(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    lines.push_back(text.substr(begin));
    return lines;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The CRC of a frame is its last two characters; ours must give the same.
bool CarriesItsCrc(const std::string& frame)
{
    return frame.size() > 2 && AppendCrc(frame.substr(0, frame.size() - 2)) == frame;
}

const char* const kCommands[] = {"RQ", "RS", "FW", "GC", "RT", "SF", "ECHO", "PING", "PR", "DL",
                                 "GO", "SR", "PH", "RP", "PN", "GR", "RL", "SA", "SB", "SP",
                                 "GS", "ST", "GN", "GL", "GV", "GD", "GF", "RD", "ET", "SD",
                                 "GT", "TO", "PS", "WS", "CS", "DN", "SX", "GX"};

}  // namespace

// Each command has a section of its own, headed by its code, with one request
// and one reply frame; both carry the CRC that our CRC computes, and one of
// them is the command itself.
TEST(ReferenceText, EveryCommandHasARequestAndAReplyWithTheirCrc)
{
    const std::vector<std::wstring> lines = LinesOf(ControllerReferenceText());
    const std::wstring request = L"  Запрос: ", reply = L"  Ответ:  ";
    std::map<std::string, std::pair<std::string, std::string>> sections;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (!StartsWith(lines[i], request))
            continue;
        const std::wstring& header = lines[i - 1];
        const std::string code = ToCp1251(header.substr(0, header.find(L" - ")));
        ASSERT_TRUE(StartsWith(lines[i + 1], reply)) << code;
        EXPECT_EQ(sections.count(code), 0u) << "two sections for " << code;
        sections[code] = {ToCp1251(lines[i].substr(request.size())),
                          ToCp1251(lines[i + 1].substr(reply.size()))};
    }
    EXPECT_EQ(sections.size(), std::size(kCommands));
    for (const std::string code : kCommands) {
        ASSERT_EQ(sections.count(code), 1u) << "no section for " << code;
        const auto& [sent, answer] = sections[code];
        EXPECT_TRUE(CarriesItsCrc(sent)) << code << ": " << sent;
        EXPECT_TRUE(CarriesItsCrc(answer)) << code << ": " << answer;
        EXPECT_EQ(sent.substr(0, 4), "$127") << code;
        EXPECT_TRUE(answer.substr(0, 4) == "#127" || answer.substr(0, 4) == "$127") << code;
        EXPECT_TRUE(FieldAt(sent, 6, code.size()) == code || FieldAt(answer, 6, code.size()) == code)
            << code << ": " << sent << " / " << answer;
    }
}

TEST(ReferenceText, SummaryListsEveryCodeBeforeTheSections)
{
    const std::vector<std::wstring> lines = LinesOf(ControllerReferenceText());
    const auto sectionsBegin = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return StartsWith(line, L"  Запрос: ");
    });
    ASSERT_NE(sectionsBegin, lines.end());
    // Up to the first section's header.
    const std::vector<std::wstring> summary(lines.begin(), sectionsBegin - 1);
    for (const std::string code : kCommands) {
        const std::wstring wide = FromCp1251(code);
        const bool listed = std::any_of(summary.begin(), summary.end(), [&](const std::wstring& line) {
            return StartsWith(line, wide + L" - ") ||
                   (StartsWith(line, L"GT, TO, PS, WS, CS, DN, SX, GX - ") &&
                    line.find(wide) < line.find(L" - "));
        });
        EXPECT_TRUE(listed) << code;
    }
}
