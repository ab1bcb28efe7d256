#pragma once

#include <QString>

#include <string>

// The name Windows' wide-character file calls take for a path of any length: the absolute
// path with backslashes, and past the old limit of 260 characters the "\\?\" form, which
// lifts that limit without the system's long-path setting (as Qt's own file engine does).
class WindowsFileName
{
public:
    static std::wstring of(const QString &path);
};
