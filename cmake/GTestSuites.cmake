# One CTest entry per GoogleTest suite of a test program, named after the suite: a GUI test
# program starts GTK once per suite instead of once per test, and `ctest -R Suite` still picks
# what a developer works on. The suites are listed when CTest runs, from the program as built
# (as gtest_discover_tests does in PRE_TEST mode), so a new suite needs no new configure run.
#   zilui_add_gtest_suites(TARGET [TIMEOUT seconds])
set(ZILUI_GTEST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/GTestSuitesAdd.cmake)

function(zilui_add_gtest_suites target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "")
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 600)
    endif()
    set(base ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites)
    file(GENERATE OUTPUT ${base}_include.cmake CONTENT
"set(ZILUI_SUITES_EXE [==[$<TARGET_FILE:${target}>]==])
set(ZILUI_SUITES_LIST [==[${base}_tests.cmake]==])
set(ZILUI_SUITES_WORKDIR [==[${CMAKE_CURRENT_BINARY_DIR}]==])
set(ZILUI_SUITES_TIMEOUT ${arg_TIMEOUT})
include([==[${ZILUI_GTEST_SUITES_SCRIPT}]==])
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${base}_include.cmake)
endfunction()
