# Sanitizer and fuzzing builds (clang): ZILUI_SANITIZE=address gives ASan+UBSan, where every
# report stops the program; ZILUI_SANITIZE=thread gives TSan. ZILUI_FUZZ adds the libFuzzer
# instrumentation to everything, so that the harnesses of tests/fuzz/ link against the same
# build that runs the test suite.
set(ZILUI_SANITIZE "" CACHE STRING "Sanitizer build: address (ASan+UBSan) or thread")
option(ZILUI_FUZZ "Build the libFuzzer harnesses (clang, with ZILUI_SANITIZE=address)" OFF)

if(ZILUI_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(ZILUI_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT ZILUI_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ZILUI_SANITIZE must be address or thread, not '${ZILUI_SANITIZE}'")
endif()

# A sanitized build exists to run the tests and the harnesses once, on every submission: line
# tables are all a sanitizer's stack needs, and -O1 keeps its stacks whole while compiling
# much faster than -O2 (after the build type's flags, so these win).
if(NOT ZILUI_SANITIZE STREQUAL "")
    add_compile_options(-O1 -gline-tables-only)
endif()

if(ZILUI_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT ZILUI_SANITIZE STREQUAL "address")
        message(FATAL_ERROR "ZILUI_FUZZ needs clang and ZILUI_SANITIZE=address")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
