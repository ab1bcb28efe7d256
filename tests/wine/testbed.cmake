# Included from tests/windows.cmake: the check that tests/wine/run, which runs every test program of
# the Windows suite, never takes a failing or crashed Windows program for a pass.
add_executable(ExitStatus ${CMAKE_CURRENT_LIST_DIR}/ExitStatus.cpp)
add_test(NAME WineRunExitStatus
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check-exit-status $<TARGET_FILE:ExitStatus>)
