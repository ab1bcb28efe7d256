#include "viewer/RemovalOnStopSignal.h"

#include <QFile>

#include <atomic>
#include <cerrno>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int StopSignalCount = sizeof StopSignals / sizeof StopSignals[0];

// Read by the handler, so only what a signal handler may touch: a lock-free pointer and
// dispositions written before the handler is installed.
std::atomic<const char *> g_path{nullptr};
struct sigaction g_previous[StopSignalCount];
bool g_installed[StopSignalCount];
// What the thread let through before holdBack(true).
thread_local sigset_t t_unblocked;

sigset_t signalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : StopSignals)
        sigaddset(&set, signal);
    return set;
}

int indexOf(int signal)
{
    int i = 0;
    while (StopSignals[i] != signal)
        ++i;
    return i;
}

void onStopSignal(int signal)
{
    const int savedErrno = errno;
    if (const char *path = g_path.load())
        ::unlink(path);
    // Blocked while this handler runs, the signal raised again arrives once it returns, and
    // meets the disposition it would have met without us.
    ::sigaction(signal, &g_previous[indexOf(signal)], nullptr);
    ::raise(signal);
    errno = savedErrno;
}

} // namespace

static_assert(std::atomic<const char *>::is_always_lock_free, "the signal handler reads the path");

RemovalOnStopSignal::RemovalOnStopSignal(const QString &path)
    : m_path(QFile::encodeName(path))
{
    g_path = m_path.constData();
    for (int i = 0; i < StopSignalCount; ++i) {
        g_installed[i] = false;
        if (::sigaction(StopSignals[i], nullptr, &g_previous[i]) != 0 || g_previous[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        g_installed[i] = ::sigaction(StopSignals[i], &action, nullptr) == 0;
    }
}

void RemovalOnStopSignal::holdBack(bool on)
{
    if (on) {
        const sigset_t stopSignals = signalSet();
        ::pthread_sigmask(SIG_BLOCK, &stopSignals, &t_unblocked);
    } else {
        ::pthread_sigmask(SIG_SETMASK, &t_unblocked, nullptr);
    }
}

RemovalOnStopSignal::~RemovalOnStopSignal()
{
    for (int i = 0; i < StopSignalCount; ++i) {
        if (g_installed[i])
            ::sigaction(StopSignals[i], &g_previous[i], nullptr);
    }
    g_path = nullptr;
}
