# Adds the target `name` that copies every file below `from` to the same place below `to`,
# again whenever a file changes. Files whose path relative to `from` matches an EXCLUDE
# regular expression stay behind.
function(zilui_copy_resources name from to)
    cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
    file(GLOB_RECURSE resources RELATIVE ${from} CONFIGURE_DEPENDS ${from}/*)
    set(copies)
    foreach(resource ${resources})
        set(skip FALSE)
        foreach(pattern ${ARG_EXCLUDE})
            if(resource MATCHES "^${pattern}$")
                set(skip TRUE)
            endif()
        endforeach()
        if(skip)
            continue()
        endif()
        set(copy ${to}/${resource})
        get_filename_component(copy_folder ${copy} DIRECTORY)
        add_custom_command(OUTPUT ${copy}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${copy_folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from}/${resource} ${copy}
            DEPENDS ${from}/${resource}
            VERBATIM)
        list(APPEND copies ${copy})
    endforeach()
    add_custom_target(${name} DEPENDS ${copies})
endfunction()
