add_executable(GraphikBoxTest ${CMAKE_CURRENT_LIST_DIR}/GraphikBoxTest.cpp)
target_link_libraries(GraphikBoxTest PRIVATE larventa Qt6::Test)
add_test(NAME GraphikBoxTest COMMAND GraphikBoxTest)
# The same cases on a screen of twice the pixel density.
add_test(NAME GraphikBoxTestDoubleDensity COMMAND GraphikBoxTest)
set_tests_properties(GraphikBoxTest PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
set_tests_properties(GraphikBoxTestDoubleDensity PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
