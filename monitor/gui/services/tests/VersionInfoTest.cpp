#include "VersionInfo.h"

#include "ProductVersion.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using services_test::BesideProgram;

TEST(VersionInfo, TheProgramsOwnResource)
{
    const CVersionInfo version;  // the running program's
    EXPECT_EQ(version.Translation(), "040904b0");
    EXPECT_EQ(version.VersionInfoGetString("ProductVersion"), QUEL_PRODUCT_VERSION_TEXT);
    EXPECT_EQ(version.VersionInfoGetString("ProductVersion"), "1.0.0.0");
    EXPECT_EQ(version.VersionInfoGetString("ProductName"), "Pelko Monitor");
    EXPECT_EQ(version.VersionInfoGetString("OriginalFilename"), "quel_services_test.exe");
    EXPECT_EQ(version.VersionInfoGetString("NoSuchString"), "");
}

TEST(VersionInfo, TheFirstTranslationNamesTheStrings)
{
    CVersionInfo version;
    ASSERT_TRUE(version.Load(BesideProgram("quel_services_helper.exe")));
    EXPECT_EQ(version.Translation(), "041904e3");
    EXPECT_EQ(version.VersionInfoGetString("ProductVersion"), "2.5 helper");
    EXPECT_EQ(version.VersionInfoGetString("FileDescription"), "Services test helper");
}

TEST(VersionInfo, AFileWithoutVersionResourceGivesEmptyStrings)
{
    const std::string path = BesideProgram("no version.txt");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("plain text", file);
    std::fclose(file);

    CVersionInfo version;
    EXPECT_FALSE(version.Load(path));
    EXPECT_EQ(version.Translation(), "");
    EXPECT_EQ(version.VersionInfoGetString("ProductVersion"), "");

    // What an earlier load read is gone too.
    ASSERT_TRUE(version.Load(BesideProgram("quel_services_helper.exe")));
    EXPECT_FALSE(version.Load(BesideProgram("missing.exe")));
    EXPECT_EQ(version.Translation(), "");
    EXPECT_EQ(version.VersionInfoGetString("ProductVersion"), "");
    DeleteFileA(path.c_str());
}

TEST(VersionInfo, TheMainTitle)
{
    const HINSTANCE program = GetModuleHandleA(nullptr);
    EXPECT_EQ(BuildMainTitle(program, 100), "Pelko Monitor - V" QUEL_PRODUCT_VERSION_TEXT);
    EXPECT_EQ(BuildMainTitle(program, 999), " - V" QUEL_PRODUCT_VERSION_TEXT);  // no such string

    const std::string longTitle = BuildMainTitle(program, 101);
    EXPECT_EQ(longTitle.size(), 259u);
    EXPECT_EQ(longTitle.substr(0, 12), "A title far ");
}

}  // namespace
