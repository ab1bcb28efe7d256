#include "viewer/BusErrorGuard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

thread_local sigjmp_buf *t_landing = nullptr;
struct sigaction g_previous;

void onBusError(int signal, siginfo_t *info, void *context)
{
    if (t_landing)
        siglongjmp(*t_landing, 1);
    // Not one of the guarded reads: whatever handled it before handles it, by default
    // ending the program when the faulting instruction runs again. A handler that asked to
    // be reset as it is called (the test framework's) is reset as the system would have.
    if (g_previous.sa_flags & SA_RESETHAND) {
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(SIGBUS, &byDefault, nullptr);
    }
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(SIGBUS, &byDefault, nullptr);
    }
}

void installHandler()
{
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

} // namespace

bool BusErrorGuard::run(void (*access)(void *context), void *context)
{
    static std::once_flag installed;
    std::call_once(installed, installHandler);

    sigjmp_buf landing;
    sigjmp_buf *const outer = t_landing;
    // Saving the signal mask unblocks SIGBUS again on the way back from the handler.
    if (sigsetjmp(landing, 1) != 0) {
        t_landing = outer;
        return false;
    }
    t_landing = &landing;
    access(context);
    t_landing = outer;
    return true;
}
