#pragma once

#include <QStringList>

// larventa-view --export spectrum DATA OUT [--from S] [--to S] [--segment N]: the spectrum
// of the whole recording, or of the seconds from S to S, with the default segment or one of
// N samples, written as CSV without a window.
class DensityCommand
{
public:
    // True if the arguments (without the program's name) ask for a spectrum.
    static bool isAskedFor(const QStringList &arguments);
    // Returns the exit code: 0 on success, otherwise non-zero with the message on standard
    // error and no file at OUT.
    static int run(const QStringList &arguments);
};
