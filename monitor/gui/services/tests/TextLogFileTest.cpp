#include "TextLogFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using services_test::BesideProgram;
using services_test::UniqueName;

class TextLogFileTest : public ::testing::Test {
protected:
    ~TextLogFileTest() override { DeleteFileA(path_.c_str()); }

    void Store(const std::string& bytes)
    {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    std::string Contents() const
    {
        std::ifstream file(path_, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    const std::string path_ = BesideProgram(UniqueName("log") + ".log");
};

TEST_F(TextLogFileTest, AnExistingFileIsAppendedTo)
{
    Store("old line\r\nold tail");
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    log.Write("new\n", 4);
    log.Close();
    EXPECT_EQ(Contents(), "old line\r\nold tailnew\r\n");

    ASSERT_TRUE(log.Open(path_));  // and again after reopening
    log.Write("more", 4);
    log.Close();
    EXPECT_EQ(Contents(), "old line\r\nold tailnew\r\nmore");
}

TEST_F(TextLogFileTest, AMissingFileIsCreated)
{
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    EXPECT_TRUE(log.IsOpen());
    log.Write("x", 1);
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(Contents(), "x");

    EXPECT_FALSE(log.Open(BesideProgram("no such dir\\x.log")));
    EXPECT_FALSE(log.IsOpen());
    log.Write("lost", 4);  // does nothing while closed
    log.Printf("%s", "lost");
    log.Truncate();
}

TEST_F(TextLogFileTest, LineFeedsBecomeCarriageReturnLineFeed)
{
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    const std::string text("a\nb\r\n\n\0c", 8);
    log.Write(text.data(), text.size());
    log.Close();
    EXPECT_EQ(Contents(), std::string("a\r\nb\r\r\n\r\n\0c", 11));
}

TEST_F(TextLogFileTest, PrintfIsBoundedTo1023Characters)
{
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    log.Printf("%s=%d\n", "port", 50001);
    log.Printf("%s", std::string(5000, 'z').c_str());
    log.Close();
    EXPECT_EQ(Contents(), "port=50001\r\n" + std::string(1023, 'z'));
}

TEST_F(TextLogFileTest, TruncateStartsTheFileAfresh)
{
    Store("old contents\r\n");
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    log.Truncate();
    log.Write("fresh\n", 6);
    log.Close();
    EXPECT_EQ(Contents(), "fresh\r\n");
}

TEST_F(TextLogFileTest, OthersMayReadButNotWriteWhileOpen)
{
    CTextLogFile log;
    ASSERT_TRUE(log.Open(path_));
    win32::UniqueHandle reader(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader);
    win32::UniqueHandle writer(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer);
}

}  // namespace
