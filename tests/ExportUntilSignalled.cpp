// larventa-view --export, the same code on the same arguments, except that the first write
// of a WAV export's samples never returns: it prints "writing" on standard output and waits
// for a signal to end the program, as a long export does when the user presses Ctrl+C.

#include "viewer/ExportCommand.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include <sndfile.h>
#include <unistd.h>

extern "C" sf_count_t sf_write_raw(SNDFILE *, const void *, sf_count_t)
{
    std::puts("writing");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

int main(int argc, char *argv[])
{
    // As in a terminal, whatever the test runner ignores: the signals end the program.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    QCoreApplication application(argc, argv);
    return ExportCommand::run(QCoreApplication::arguments().mid(1));
}
