#include "sim/StopRequest.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t stopSignals()
{
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGINT);
    sigaddset(&wanted, SIGTERM);
    return wanted;
}

} // namespace

// Blocked before any thread starts, so that only the signalfd below sees them.
void StopRequest::prepare()
{
    const sigset_t wanted = stopSignals();
    pthread_sigmask(SIG_BLOCK, &wanted, nullptr);
}

bool StopRequest::watch()
{
    const sigset_t wanted = stopSignals();
    const int signalFd = ::signalfd(-1, &wanted, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("larventa-sim: signalfd");
        return false;
    }
    auto *notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [signalFd] {
        signalfd_siginfo info;
        while (::read(signalFd, &info, sizeof info) == sizeof info) { }
        QCoreApplication::quit();
    });
    QObject::connect(notifier, &QObject::destroyed, [signalFd] { ::close(signalFd); });
    return true;
}
