#pragma once

// Runs reads of a mapped file so that a page gone from under them ends the read instead of the
// program: on Linux because another program cut the file short, which the system reports with
// SIGBUS; on Windows because the share or the disk the file is on went away, which it reports
// with EXCEPTION_IN_PAGE_ERROR (BusErrorGuard_unix.cpp, BusErrorGuard_win.cpp). The guard's
// handler returns to run() on the thread that touched it.
class BusErrorGuard
{
public:
    // Runs access(context) and returns true, or false if it touched a page past the end of a
    // mapped file. Access is then abandoned where it was: it must hold nothing that needs
    // cleaning up (no allocation, no lock, no object with a destructor), and what it stored
    // before is kept only if it fenced it (std::atomic_signal_fence).
    static bool run(void (*access)(void *context), void *context);

    template <typename Access>
    static bool run(Access &access)
    {
        return run([](void *context) { (*static_cast<Access *>(context))(); }, &access);
    }
};
