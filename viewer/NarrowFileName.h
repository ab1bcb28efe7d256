#pragma once

#include <QByteArray>
#include <QString>

// The name of an existing file as a library that opens files by a char string (EDFlib, with
// fopen) takes it. Linux takes any name; Windows takes only what its ANSI code page spells
// within 260 characters, and is given the file's short name where the long one does not fit.
class NarrowFileName
{
public:
    // False, with the reason in Russian, where the system has no such name for the file.
    static bool of(const QString &path, QByteArray *name, QString *reason);
};
