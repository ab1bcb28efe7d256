#pragma once

// Whether the system lets a program cut short a file that another program maps: Linux does, and
// the viewer then reads a recording made afresh into its file from the start; Windows refuses
// (ERROR_USER_MAPPED_FILE), so the recorder is refused and the viewer keeps what it shows.
class MappedFileCut
{
public:
    static bool allowed();
};
