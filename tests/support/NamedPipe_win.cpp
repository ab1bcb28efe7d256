#include "NamedPipe.h"

#include "WindowsSuite.h"

// Windows' named pipes live in their own namespace (\\.\pipe\), never among a folder's files.
bool NamedPipe::make(const QString &)
{
    linuxOnlyStep("NamedPipe");
}

bool NamedPipe::isPipe(const QString &)
{
    return false;
}
