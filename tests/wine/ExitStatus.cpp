// Run under tests/wine/run by tests/wine/check-exit-status: ends as its one argument says, with that
// exit code or, for "crash", with a write through a null pointer.
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    if (std::strcmp(argv[1], "crash") == 0) {
        volatile int *nowhere = nullptr;
        *nowhere = 1;
    }
    return std::atoi(argv[1]);
}
