#pragma once

// A step of the tests that only Linux can take (a preloaded fault, a resource limit, a
// pseudo-terminal's own end): on Windows it ends the test program, naming the step. The cases that
// take such a step are left out of the Windows suite, each with its reason, in tests/windows.cmake.
[[noreturn]] void linuxOnlyStep(const char *step);
