#include "platform/ProgramStart.h"

// Windows sends no signal for a write beyond a size limit (FAT32's 4 GiB, say): the write
// fails and is reported as such, which is what the signal is ignored for on Linux.
void ProgramStart::prepare()
{
}
