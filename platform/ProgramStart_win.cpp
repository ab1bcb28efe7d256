#include "platform/ProgramStart.h"

#include <cstdio>

#include <windows.h>

namespace {

// A stream that goes nowhere: a window program's, unless it was started with its output sent
// to a file or a pipe.
bool goesNowhere(DWORD stream)
{
    return GetFileType(GetStdHandle(stream)) == FILE_TYPE_UNKNOWN;
}

} // namespace

// Windows sends no signal for a write beyond a size limit (FAT32's 4 GiB, say): the write
// fails and is reported as such, which is what the signal is ignored for on Linux.
//
// The programs are window programs, which have no console of their own: one started from a
// console (larventa-view --export, --help) writes to that console. What they write is UTF-8, as
// on Linux, and the console is told so, or it would show the Russian texts as question marks.
void ProgramStart::prepare()
{
    const bool outputNowhere = goesNowhere(STD_OUTPUT_HANDLE);
    const bool errorsNowhere = goesNowhere(STD_ERROR_HANDLE);
    if ((outputNowhere || errorsNowhere) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (outputNowhere)
            std::freopen("CONOUT$", "w", stdout);
        if (errorsNowhere)
            std::freopen("CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
}
