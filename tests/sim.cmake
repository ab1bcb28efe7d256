# Included from tests/CMakeLists.txt: the instrument simulator's own tests.
add_executable(SimulatorTest ${CMAKE_CURRENT_LIST_DIR}/SimulatorTest.cpp)
target_link_libraries(SimulatorTest PRIVATE larventa_sim Qt6::SerialPort Qt6::Test)
target_compile_definitions(SimulatorTest PRIVATE LARVENTA_SIM_PROGRAM="$<TARGET_FILE:larventa-sim>")
add_dependencies(SimulatorTest larventa-sim)
add_test(NAME SimulatorTest COMMAND SimulatorTest)
set_tests_properties(SimulatorTest PROPERTIES TIMEOUT 120)
