#pragma once

#include <QStringList>

// What larventa-view says about itself, without a window and without a display: --help tells
// how it is started, --version which version it is, and an option it does not know is refused
// with the way to ask for help.
class UsageCommand
{
public:
    // The arguments after the program's name begin with an option other than --export, or
    // with --follow not followed by exactly one file.
    static bool isAskedFor(const QStringList &arguments);
    // Prints the answer and returns the exit code: 0, or 2 for an option it does not know.
    static int run(const QStringList &arguments);
};
