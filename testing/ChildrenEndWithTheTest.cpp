// Every test program's child processes end with it. A test program that
// overran its time is killed by the test runner, and the programs it had
// started (a monitor, a stand-in) would run on and talk to the next test's
// peers: a job that kills its processes once its last handle goes takes them
// along. The handle is never closed here, so the job ends only with this
// process, after its exit code is set.
#include <windows.h>

namespace {

struct ChildrenEndWithTheTest {
    ChildrenEndWithTheTest()
    {
        HANDLE job = CreateJobObjectA(nullptr, nullptr);
        if (!job)
            return;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
            !AssignProcessToJobObject(job, GetCurrentProcess()))
            CloseHandle(job);
    }
};

const ChildrenEndWithTheTest childrenEndWithTheTest;

}  // namespace
