#pragma once

// Ends the program at once, with exit status 0: no further event is handled and no
// handler that is still running (a recording) goes on. Files the caller has not
// closed are closed by the system; what was written to them stays.
class ProgramEnd
{
public:
    [[noreturn]] static void now();
};
