# Run by CTest (cmake/GTestSuites.cmake): adds one entry per suite of ZILUI_SUITES_EXE. The list
# is made again whenever the program is newer than it.
get_filename_component(_zilui_program "${ZILUI_SUITES_EXE}" NAME)
if(NOT EXISTS "${ZILUI_SUITES_EXE}")
    # Not built: one entry that fails and names the program, rather than no entries at all.
    add_test("${_zilui_program}.NOT_BUILT" "${ZILUI_SUITES_EXE}")
    return()
endif()

if(NOT EXISTS "${ZILUI_SUITES_LIST}" OR "${ZILUI_SUITES_EXE}" IS_NEWER_THAN "${ZILUI_SUITES_LIST}"
   OR "${CMAKE_CURRENT_LIST_FILE}" IS_NEWER_THAN "${ZILUI_SUITES_LIST}")
    execute_process(COMMAND "${ZILUI_SUITES_EXE}" --gtest_list_tests
        WORKING_DIRECTORY "${ZILUI_SUITES_WORKDIR}"
        OUTPUT_VARIABLE _zilui_out ERROR_VARIABLE _zilui_out RESULT_VARIABLE _zilui_result TIMEOUT 60)
    if(NOT _zilui_result EQUAL 0)
        file(REMOVE "${ZILUI_SUITES_LIST}")
        add_test("${_zilui_program}.LIST_FAILED" "${ZILUI_SUITES_EXE}" --gtest_list_tests)
        return()
    endif()
    string(REPLACE "\n" ";" _zilui_lines "${_zilui_out}")
    set(_zilui_script "")
    foreach(_zilui_line IN LISTS _zilui_lines)
        # "Suite." or, typed, "Suite/0.  # TypeParam = int"; test names are indented.
        if(_zilui_line MATCHES "^([A-Za-z0-9_/]+)\\.( +#.*)?$")
            set(_zilui_suite "${CMAKE_MATCH_1}")
            string(APPEND _zilui_script
                "add_test([==[${_zilui_suite}]==] [==[${ZILUI_SUITES_EXE}]==] [==[--gtest_filter=${_zilui_suite}.*]==])\n"
                "set_tests_properties([==[${_zilui_suite}]==] PROPERTIES"
                " WORKING_DIRECTORY [==[${ZILUI_SUITES_WORKDIR}]==] TIMEOUT ${ZILUI_SUITES_TIMEOUT})\n")
            if(_zilui_suite MATCHES "^DISABLED_")
                string(APPEND _zilui_script "set_tests_properties([==[${_zilui_suite}]==] PROPERTIES DISABLED TRUE)\n")
            endif()
        endif()
    endforeach()
    file(WRITE "${ZILUI_SUITES_LIST}" "${_zilui_script}")
endif()
include("${ZILUI_SUITES_LIST}")
