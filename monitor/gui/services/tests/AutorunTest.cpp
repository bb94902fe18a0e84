#include "Autorun.h"

#include "MonitorSettings.h"
#include "PathRoutines.h"
#include "RegistryKey.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using services_test::BesideProgram;
using services_test::HelperProcess;
using services_test::Quoted;
using services_test::ScratchKey;
using services_test::UniqueName;

// The Run value under the root, or "<none>".
std::string RunValue(HKEY root)
{
    win32::UniqueRegKey run;
    if (!OpenRegistryKey(run, root, kRunKeyPath, KEY_QUERY_VALUE))
        return "<none>";
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    if (RegQueryValueExA(run.get(), kAutorunValueName, nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "<none>";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, strlen(data) + 1) << "stored with its terminator";
    return data;
}

TEST(Autorun, TheCommandQuotesAPathWithBlanks)
{
    const struct {
        const char *path, *command;
    } cases[] = {
        {"C:\\quel\\quel.exe", "C:\\quel\\quel.exe /minimize"},
        {"C:\\Program Files\\Pelko\\quel.exe", "\"C:\\Program Files\\Pelko\\quel.exe\" /minimize"},
        {"C:\\tab\there\\quel.exe", "\"C:\\tab\there\\quel.exe\" /minimize"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutorunCommand(c.path), c.command);
}

TEST(Autorun, OnAndOffInBothRoots)
{
    const std::string expected = AutorunCommand(ModulePath(nullptr));
    for (HKEY scratchRoot : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ScratchKey root(scratchRoot);
        ASSERT_NE(root.Get(), nullptr);
        EXPECT_FALSE(AutorunIsSet(root.Get()));
        EXPECT_FALSE(SetAutorun(false, root.Get())) << "nothing to delete";

        EXPECT_TRUE(SetAutorun(true, root.Get()));
        EXPECT_TRUE(AutorunIsSet(root.Get()));
        EXPECT_EQ(RunValue(root.Get()), expected);
        EXPECT_TRUE(SetAutorun(true, root.Get()));  // again: replaced, not doubled
        EXPECT_EQ(RunValue(root.Get()), expected);

        EXPECT_TRUE(SetAutorun(false, root.Get()));
        EXPECT_FALSE(AutorunIsSet(root.Get()));
        EXPECT_EQ(RunValue(root.Get()), "<none>");
    }
}

TEST(Autorun, LoadSeesARunValueOfAnyType)
{
    ScratchKey root(HKEY_CURRENT_USER);
    win32::UniqueRegKey run;
    ASSERT_TRUE(CreateRegistryKey(run, root.Get(), kRunKeyPath, KEY_SET_VALUE));
    const DWORD value = 0;
    ASSERT_EQ(RegSetValueExA(run.get(), kAutorunValueName, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    MonitorSettings settings;
    LoadSettingsDefaults(settings);
    settings.Autorun = 0;
    LoadSettings(settings, root.Get());
    EXPECT_EQ(settings.Autorun, 1u);
}

// Started by a relative path with blanks in it, the program still writes its
// own full path, in quotes.
TEST(Autorun, AProgramStartedByARelativePathWritesItsFullQuotedPath)
{
    const std::string directory = UniqueName("helper dir");
    const std::string relative = directory + "\\quel helper.exe";
    ASSERT_TRUE(CreateDirectoryA(BesideProgram(directory).c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(BesideProgram("quel_services_helper.exe").c_str(),
                          BesideProgram(relative).c_str(), TRUE));
    ScratchKey root(HKEY_CURRENT_USER);

    // The test runs in the program's directory, so the relative path finds the copy.
    ASSERT_EQ(CurrentDirectory() + "\\", BesideProgram(""));
    EXPECT_EQ(HelperProcess("autorun " + Quoted(root.Path()), relative).Finish(), 0u);
    EXPECT_EQ(RunValue(root.Get()), Quoted(BesideProgram(relative)) + " /minimize");

    DeleteFileA(BesideProgram(relative).c_str());
    RemoveDirectoryA(BesideProgram(directory).c_str());
}

}  // namespace
