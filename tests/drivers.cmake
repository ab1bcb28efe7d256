# Included from tests/CMakeLists.txt: the driver tests. DriverTest is built with everything else, so
# that a change which breaks it shows in the ordinary suite, but it runs only inside the emulated PC
# that drivers/emulated-pc boots: the test Drivers, labelled drivers, which scripts/test leaves out
# and scripts/test --drivers runs (ctest -L drivers).
add_executable(DriverTest ${CMAKE_CURRENT_LIST_DIR}/drivers/DriverTest.cpp)
target_link_libraries(DriverTest PRIVATE larventa_testsupport)
target_compile_definitions(DriverTest PRIVATE LARVENTA_SIM_PROGRAM="$<TARGET_FILE:larventa-sim>")
add_dependencies(DriverTest larventa-sim)
add_test(NAME Drivers COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/drivers/emulated-pc ${CMAKE_BINARY_DIR}/emulated-pc
                              $<TARGET_FILE:DriverTest>)
set_tests_properties(Drivers PROPERTIES LABELS drivers TIMEOUT 330)
