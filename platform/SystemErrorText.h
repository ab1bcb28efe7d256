#pragma once

#include <QString>

// The operator-facing Russian wording of a system error number (errno).
class SystemErrorText
{
public:
    static QString forErrno(int errorNumber);
};
