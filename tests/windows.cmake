# Included from tests/CMakeLists.txt in a Windows build: the suite that scripts/test --windows runs
# under Wine 10, each test program through tests/wine/run, which wires COM1 to COM2.
#
# Every case of these programs runs, except the ones below, each with its reason. They take a step
# that only Linux can take, and the same code's behaviour there is proven by the Linux suite.
set(larventa_left_out_on_windows
    "RecordingRunTest::aCommandThatCannotBeSentEndsTheRun: the line held shut is a pseudo-terminal's own end"
    "RecordingRunTest::theDocumentedPythonReadsARecording: a pseudo-terminal's own end, and Python on Linux"
    "RecordingRunTest::aFullDiskEndsTheRunLikeStop: a full disk is a file size limit (setrlimit)"
    "RecordingRunTest::theDescriptionVouchesOnlyForWhatTheDiskHolds: failed syncs and a full disk are a preloaded close()/fsync() and setrlimit"
    "RecordingRunTest::sleepsWhileABlockFillsByteByByte: counts the processor time of a Linux process"
    "RecordingRunTest::refusesToStartWithoutAFile: nothing more was sent is told by a mark written to COM1, which the program holds alone"
    "RecordingRunTest::asksBeforeRecordingAgainIntoTheLastFile: as above, a mark written to the port the program holds"
    "RecordingRunTest::refusesABadRecordingTimeBeforeAnythingChanges: as above, a mark written to the port the program holds"
    "RecordingRunTest::aVanishedPortEndsTheRunKeepingTheBlocks: a pulled adapter is a pseudo-terminal's hang-up, which Wine's COM port does not pass on"
    "RecordingRunTest::keepsOnlyBytesFromAfterTheStart: bytes sent just before the start can still be in the test bed's relay from COM2 to COM1 when the program empties its port"
    "RecordingRunTest::losesNothingAsFloodsComeAndGo: a second simulator on a pseudo-terminal of its own"
    "DataGatheringSystemTest::guardsAskThroughMessageBoxes: a mark written to the port the program holds"
    "DataGatheringSystemTest::thePictureNeverReplacesTheData: its second recording follows the first at once, while the test bed's relay may still hold what the first was sent"
    "DataGatheringSystemTest::aFullDiskNamesTheFileAsChosen: a full disk is a file size limit (setrlimit)"
    "DataGatheringSystemTest::aNamedPipeAsTheDataFileIsRefused: Windows keeps named pipes out of its folders"
    "DataGatheringSystemTest::aDataFileThatFailsToCloseIsReported: a failed close is a preloaded close()"
    "DataGatheringSystemTest::closingDuringARecordingEndsTheProgram: a mark written to the port the program holds"
    "RecordingExportTest::exportsReadBackByTheirOwnLibraries: MNE-Python, a Linux program, reads the EDF+ back"
    "RecordingExportTest::exportCommandLeavesNoFileOnFailure: failures are a preloaded close() and EDFlib call"
    "RecordingExportTest::exportEndedBySignalLeavesNoFile: Windows has no SIGTERM or SIGINT for a program to catch"
    "PowerDensityTest::theExportCommandWritesACsvOrNothing: a full disk is setrlimit, and Python on Linux reads the CSV"
)
# Left out whole, for the same reasons: DataFileTest (preloaded faults, setrlimit, Unix sockets),
# InstrumentLinkTest and SimulatorTest (pseudo-terminals' own ends), ProgramStartTest (setrlimit),
# RecordingOpeningTest (fork, a second user, SIGBUS), the driver tests (a Linux kernel's drivers).

# larventa_add_windows_test(NAME): the test program NAME.cpp with every case but those left out.
function(larventa_add_windows_test name)
    add_executable(${name} ${name}.cpp)
    target_link_libraries(${name} PRIVATE larventa_testsupport)
    file(STRINGS ${name}.cpp definitions REGEX "^void ${name}::[A-Za-z0-9]+\\(\\)$")
    set(cases)
    set(left_out 0)
    foreach(definition IN LISTS definitions)
        string(REGEX REPLACE "^void ${name}::([A-Za-z0-9]+)\\(\\)$" "\\1" case ${definition})
        if(case MATCHES "^(init|cleanup|initTestCase|cleanupTestCase)$")
            continue()
        endif()
        set(reason ${larventa_left_out_on_windows})
        list(FILTER reason INCLUDE REGEX "^${name}::${case}:")
        if(reason)
            math(EXPR left_out "${left_out} + 1")
        else()
            list(APPEND cases ${case})
        endif()
    endforeach()
    if(left_out EQUAL 0)
        set(cases)
    endif()
    add_test(NAME ${name} COMMAND ${name} ${cases})
endfunction()

foreach(name RecordingTimeTest RecordingRunTest DataGatheringSystemTest)
    larventa_add_windows_test(${name})
endforeach()
target_link_libraries(RecordingRunTest PRIVATE larventa_viewer)
target_compile_definitions(RecordingRunTest PRIVATE LARVENTA_README="${PROJECT_SOURCE_DIR}/README.md"
    LARVENTA_MANUAL="${PROJECT_SOURCE_DIR}/packaging/larventa.1")
add_executable(CloseDuringRecording CloseDuringRecording.cpp)
target_link_libraries(CloseDuringRecording PRIVATE larventa_testsupport)
target_compile_definitions(DataGatheringSystemTest PRIVATE
    CLOSE_DURING_RECORDING="$<TARGET_FILE:CloseDuringRecording>")
foreach(name RecordingSummaryTest RecordingFollowingTest RecordingDescriptionTest IntegrityCheckTest
        RecordingExportTest PowerDensityTest)
    larventa_add_windows_test(${name})
    target_link_libraries(${name} PRIVATE larventa_viewer)
endforeach()
target_include_directories(RecordingExportTest PRIVATE ${SNDFILE_INCLUDE_DIR} ${EDFLIB_INCLUDE_DIR})
target_link_libraries(RecordingExportTest PRIVATE ${SNDFILE_LIBRARY} ${EDFLIB_LIBRARY})
# The program a signal ends is Linux's alone, and so is the case that starts it.
target_compile_definitions(RecordingExportTest PRIVATE EXPORT_UNTIL_SIGNALLED="")
foreach(name ViewSpanTest ViewerWindowTest)
    larventa_add_windows_test(${name})
    target_link_libraries(${name} PRIVATE larventa_viewerwindow)
endforeach()
include(plot.cmake)
include(wine/testbed.cmake)
