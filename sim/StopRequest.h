#pragma once

// The simulator ends when asked: SIGINT or SIGTERM on Linux, Ctrl+C, Ctrl+Break or the console
// closing on Windows (StopRequest_unix.cpp, StopRequest_win.cpp).
class StopRequest
{
public:
    // Before any thread starts.
    static void prepare();
    // Once the application exists: a request quits its event loop. False, with the reason
    // printed, if the system refuses.
    static bool watch();
};
