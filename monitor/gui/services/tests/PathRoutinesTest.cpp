#include "PathRoutines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

TEST(PathRoutines, NamesTakenApart)
{
    using Routine = std::function<std::string(const std::string&)>;
    const Routine moduleDir = ModuleDir;
    const Routine nameWithExt = FileNameWithExt;
    const Routine ext = FileExt;
    const Routine joinDir = [](const std::string& dir) { return PathJoin(dir, "a.txt"); };
    const struct {
        const char* routine;
        const Routine& apply;
        const char *input, *expected;
    } cases[] = {
        {"ModuleDir", moduleDir, "C:\\dir\\quel.exe", "C:\\dir\\"},
        {"ModuleDir", moduleDir, "C:\\quel.exe", "C:\\"},
        {"ModuleDir", moduleDir, "C:/dir/quel.exe", "C:/dir/"},
        {"ModuleDir", moduleDir, "C:quel.exe", "C:"},
        {"ModuleDir", moduleDir, "quel.exe", ""},
        {"ModuleDir", moduleDir, "\\\\server\\share\\quel.exe", "\\\\server\\share\\"},
        {"FileNameWithExt", nameWithExt, "C:\\dir\\name.", "name"},
        {"FileNameWithExt", nameWithExt, "C:\\dir\\name.txt", "name.txt"},
        {"FileNameWithExt", nameWithExt, "C:\\dir.d\\name", "name"},
        {"FileNameWithExt", nameWithExt, "C:name.txt", "name.txt"},
        {"FileNameWithExt", nameWithExt, "C:\\dir\\", ""},
        {"FileNameWithExt", nameWithExt, "", ""},
        {"FileExt", ext, "C:\\dir\\name.tar.gz", ".gz"},
        {"FileExt", ext, "C:\\dir.d\\name", ""},
        {"FileExt", ext, "C:\\dir\\name.", "."},
        {"FileExt", ext, ".profile", ".profile"},
        {"PathJoin", joinDir, "C:\\dir", "C:\\dir\\a.txt"},
        {"PathJoin", joinDir, "C:\\dir\\", "C:\\dir\\a.txt"},
        {"PathJoin", joinDir, "C:/dir/", "C:/dir/a.txt"},
        {"PathJoin", joinDir, "", "a.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.apply(c.input), c.expected) << c.routine << "(" << c.input << ")";
}

TEST(PathRoutines, ResolveRelativeToTheBaseFilesDirectory)
{
    const struct {
        const char *path, *base, *expected;
    } cases[] = {
        {"a.txt", "C:\\dir\\quel.ini", "C:\\dir\\a.txt"},
        {"sub/a.txt", "C:\\dir\\quel.ini", "C:\\dir\\sub\\a.txt"},
        {"..\\a.txt", "C:\\dir\\quel.ini", "C:\\a.txt"},
        {".\\x\\..\\a.txt", "C:\\dir\\quel.ini", "C:\\dir\\a.txt"},
        {"\\top\\a.txt", "D:\\dir\\quel.ini", "D:\\top\\a.txt"},
        {"C:a.txt", "C:\\dir\\quel.ini", "C:\\dir\\a.txt"},
        {"E:\\other\\a.txt", "C:\\dir\\quel.ini", "E:\\other\\a.txt"},
        {"\\\\server\\share\\a.txt", "C:\\dir\\quel.ini", "\\\\server\\share\\a.txt"},
        {"a.txt", "\\\\server\\share\\dir\\quel.ini", "\\\\server\\share\\dir\\a.txt"},
        {"\\a.txt", "\\\\server\\share\\dir\\quel.ini", "\\\\server\\share\\a.txt"},
        // The base's directory need not exist: the result comes from the names.
        {"a.txt", "Q:\\no such\\dir\\quel.ini", "Q:\\no such\\dir\\a.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveRelativeTo(c.path, c.base), c.expected) << c.path << " from " << c.base;

    EXPECT_EQ(ResolveRelativeTo("a.txt", "quel.ini"), CurrentDirectory() + "\\a.txt");
}

// Other threads keep their current directory while a path is resolved.
TEST(PathRoutines, ResolvingLeavesTheCurrentDirectoryAlone)
{
    const std::string before = CurrentDirectory();
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::thread watcher([&] {
        while (!done)
            if (CurrentDirectory() != before)
                ++changes;
    });
    for (int i = 0; i < 500; ++i)
        ResolveRelativeTo("..\\a.txt", "C:\\windows\\system32\\base.ini");
    done = true;
    watcher.join();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST(PathRoutines, SystemPaths)
{
    const std::string program = ModulePath(nullptr);
    EXPECT_EQ(FileNameWithExt(program), "quel_services_test.exe");
    EXPECT_TRUE(FileExists(program));
    EXPECT_TRUE(FileExists(ModuleDir(program)));  // a directory exists too
    EXPECT_FALSE(FileExists(program + ".missing"));
    EXPECT_EQ(FileNameWithExt(ModulePath(GetModuleHandleA("kernel32.dll"))), "kernel32.dll");

    size_t filePart = 0;
    EXPECT_EQ(FullPathName("x\\..\\name.txt", &filePart), CurrentDirectory() + "\\name.txt");
    EXPECT_EQ(filePart, CurrentDirectory().size() + 1);
    EXPECT_EQ(FullPathName("C:\\dir\\", &filePart), "C:\\dir\\");
    EXPECT_EQ(filePart, std::string::npos);
    EXPECT_EQ(FullPathName(""), "");
}

}  // namespace
