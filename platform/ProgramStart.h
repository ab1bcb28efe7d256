#pragma once

// What the program sets up for itself before anything else runs.
class ProgramStart
{
public:
    // A write beyond the file-size limit (ulimit -f) then fails with EFBIG and is
    // reported like a full disk, instead of the signal SIGXFSZ ending the program.
    static void prepare();
};
