#include "exec/CurrentExecutor.h"
#include "exec/IoCommandQueue.h"
#include "exec/Strand.h"

namespace {

thread_local const CurrentStrandScope* t_innermost = nullptr;

}  // namespace

CurrentStrandScope::CurrentStrandScope(const Strand* s) : strand(s), outer(t_innermost) { t_innermost = this; }

CurrentStrandScope::~CurrentStrandScope() { t_innermost = outer; }

bool RunsOnStrand(const Strand* strand)
{
    for (const CurrentStrandScope* scope = t_innermost; scope; scope = scope->outer) {
        if (scope->strand == strand)
            return true;
    }
    return false;
}

bool RunsOnExecutor(const ExecutorRecord* executor)
{
    if (!executor)
        return true;
    if (executor->post == StrandRun)
        return RunsOnStrand(reinterpret_cast<const Strand*>(executor));
    if (executor->post == IoCommandQueuePost)
        return RunsOnThread(reinterpret_cast<const IoCommandQueue*>(executor)->owner);
    return true;
}
