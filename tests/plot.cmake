add_executable(GraphikBoxTest ${CMAKE_CURRENT_LIST_DIR}/GraphikBoxTest.cpp)
target_link_libraries(GraphikBoxTest PRIVATE larventa Qt6::Test)
# The same cases at 100 %, and at the display scalings Windows offers most: 125 %, 150 % and 200 %.
foreach(scaling 100 125 150 200)
    set(name GraphikBoxTestAt${scaling})
    math(EXPR whole "${scaling} / 100")
    math(EXPR hundredths "${scaling} % 100")
    add_test(NAME ${name} COMMAND GraphikBoxTest)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${larventa_test_environment};QT_SCALE_FACTOR=${whole}.${hundredths}")
endforeach()
