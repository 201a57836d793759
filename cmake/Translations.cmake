# Compiles every <lang>.po of `po_dir` into ${CMAKE_BINARY_DIR}/lang/<lang>/LC_MESSAGES/<domain>.mo,
# the layout CAppBase looks in next to bin/, and adds `<domain>-pot` to refresh the template
# from `sources` (texts marked with ZILUI_TR).
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
find_program(XGETTEXT_EXECUTABLE xgettext)

# Applies the context rules ("menu#||#Open") to each catalogue before it is compiled, and
# makes the source language's catalogue from the template; see docs/resources.md.
if(NOT TARGET zilui-pocontext)
    add_executable(zilui-pocontext ${CMAKE_CURRENT_LIST_DIR}/../tools/pocontext.cpp)
endif()

function(zilui_add_catalogues domain po_dir)
    cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
    file(GLOB po_files CONFIGURE_DEPENDS ${po_dir}/*.po)
    set(pot ${po_dir}/${domain}.pot)
    set(outputs)
    set(languages)
    foreach(po ${po_files})
        get_filename_component(lang ${po} NAME_WE)
        list(APPEND languages ${lang})
        set(mo ${CMAKE_BINARY_DIR}/lang/${lang}/LC_MESSAGES/${domain}.mo)
        set(ruled ${CMAKE_CURRENT_BINARY_DIR}/po/${domain}-${lang}.po)
        add_custom_command(OUTPUT ${mo}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lang/${lang}/LC_MESSAGES
                    ${CMAKE_CURRENT_BINARY_DIR}/po
            COMMAND zilui-pocontext ${pot} ${po} ${ruled}
            COMMAND ${MSGFMT_EXECUTABLE} --check -o ${mo} ${ruled}
            DEPENDS ${po} ${pot} zilui-pocontext
            COMMENT "Compiling ${domain} catalogue for ${lang}")
        list(APPEND outputs ${mo})
    endforeach()
    if(NOT "en" IN_LIST languages AND EXISTS ${pot})
        set(mo ${CMAKE_BINARY_DIR}/lang/en/LC_MESSAGES/${domain}.mo)
        set(ruled ${CMAKE_CURRENT_BINARY_DIR}/po/${domain}-en.po)
        add_custom_command(OUTPUT ${mo}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lang/en/LC_MESSAGES
                    ${CMAKE_CURRENT_BINARY_DIR}/po
            COMMAND zilui-pocontext ${pot} - ${ruled}
            COMMAND ${MSGFMT_EXECUTABLE} -o ${mo} ${ruled}
            DEPENDS ${pot} zilui-pocontext
            COMMENT "Making the source-language ${domain} catalogue")
        list(APPEND outputs ${mo})
    endif()
    add_custom_target(${domain}-catalogues ALL DEPENDS ${outputs})
    if(XGETTEXT_EXECUTABLE AND ARG_SOURCES)
        add_custom_target(${domain}-pot
            COMMAND ${XGETTEXT_EXECUTABLE} --language=C++ --from-code=UTF-8 --keyword=ZILUI_TR
                    --package-name=${domain} --add-comments=TRANSLATORS: --sort-by-file
                    -o ${po_dir}/${domain}.pot ${ARG_SOURCES}
            WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
            COMMENT "Extracting ${domain} texts into ${po_dir}/${domain}.pot")
    endif()
endfunction()
