#include "viewer/BusErrorGuard.h"

#include <mutex>

#include <windows.h>

namespace {

// Where a guarded read resumes: the registers as run() captured them, still valid while
// run()'s frame is, which it is for as long as the read runs inside it.
struct alignas(16) Landing
{
    CONTEXT registers;
    volatile bool pageLost;
};

thread_local Landing *t_landing = nullptr;

// Windows' counterpart of SIGBUS: a mapped page that cannot be read in, because the share or
// the disk it comes from is gone, raises EXCEPTION_IN_PAGE_ERROR in the reading thread. Any
// other exception, and one outside a guarded read, goes on to the handlers after this one.
LONG CALLBACK onException(EXCEPTION_POINTERS *exception)
{
    if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return EXCEPTION_CONTINUE_SEARCH;
    Landing *const landing = t_landing;
    if (!landing)
        return EXCEPTION_CONTINUE_SEARCH;
    landing->pageLost = true;
    *exception->ContextRecord = landing->registers;
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

bool BusErrorGuard::run(void (*access)(void *context), void *context)
{
    static std::once_flag installed;
    std::call_once(installed, [] { AddVectoredExceptionHandler(1, onException); });

    Landing landing;
    Landing *const outer = t_landing;
    landing.pageLost = false;
    // Returns a second time, with pageLost set, when the read below loses a page.
    RtlCaptureContext(&landing.registers);
    if (landing.pageLost) {
        t_landing = outer;
        return false;
    }
    t_landing = &landing;
    access(context);
    t_landing = outer;
    return true;
}
