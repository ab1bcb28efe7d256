#pragma once

#include <QStringList>

// larventa-view --export wav|edf|csv DATA OUT: the window's export without a window, for
// scripts and for machines without a display; --export spectrum goes to DensityCommand.
// Needs only a QCoreApplication.
class ExportCommand
{
public:
    // True if the arguments (without the program's name) ask for an export.
    static bool isAskedFor(const QStringList &arguments);
    // Exports the whole recording; returns the exit code: 0 on success, otherwise non-zero
    // with the message on standard error and no file at OUT.
    static int run(const QStringList &arguments);
};
