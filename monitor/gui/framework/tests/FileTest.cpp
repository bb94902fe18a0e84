// The file class in the modes the program writes its files with.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "File.h"

namespace {

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::string Contents(const std::string& path)
{
    CFile file(path.c_str(), CFile::modeRead | CFile::shareDenyNone);
    std::string text(size_t(file.GetLength()), '\0');
    text.resize(file.Read(text.data(), UINT(text.size())));
    return text;
}

TEST(File, AppendingWithoutTruncatingWhileDenyingOtherWriters)
{
    std::string path = TempPath("quel_framework_file_test.txt");
    DeleteFileA(path.c_str());
    const UINT append = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyWrite;
    for (const char* line : {"one\r\n", "two\r\n"}) {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), append));
        file.SeekToEnd();
        file.Write(line, UINT(strlen(line)));

        CFileException error(CFileException::none, 0, "");
        CFile other;
        EXPECT_FALSE(other.Open(path.c_str(), CFile::modeWrite, &error));
        EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(error.m_lOsError, ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(Contents(path), "one\r\ntwo\r\n");

    {
        CFile truncating(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        truncating.Write("x", 1);
    }
    EXPECT_EQ(Contents(path), "x");
    DeleteFileA(path.c_str());
}

TEST(File, FailuresThrowWithTheSystemsErrorCode)
{
    std::string missing = TempPath("quel_framework_no_such_dir\\file.txt");
    try {
        CFile file(missing.c_str(), CFile::modeRead);
        FAIL() << "opened a file that does not exist";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_lOsError, ERROR_PATH_NOT_FOUND);
        EXPECT_EQ(e.m_strFileName, missing);
    }
    std::string path = TempPath("quel_framework_read_only.txt");
    CFile reading(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    reading.Close();
    CFile readOnly(path.c_str(), CFile::modeRead);
    EXPECT_THROW(readOnly.Write("x", 1), CFileException);
    readOnly.Close();
    DeleteFileA(path.c_str());
}

}  // namespace
