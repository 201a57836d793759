# FindwxWidgets reports variables, not a target; this turns what the last
# find_package(wxWidgets) found into the usage requirements of the interface target `target`.
# Shared by the build and the installed package, which finds wxWidgets again on the
# consumer's machine.
function(zilui_wx_interface target)
    target_include_directories(${target} SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
    target_compile_definitions(${target} INTERFACE ${wxWidgets_DEFINITIONS})
    target_compile_options(${target} INTERFACE ${wxWidgets_CXX_FLAGS})
    target_link_libraries(${target} INTERFACE ${wxWidgets_LIBRARIES})
endfunction()
