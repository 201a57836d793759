# Compiles every <lang>.po of `po_dir` into ${PROJECT_BINARY_DIR}/lang/<lang>/LC_MESSAGES/<domain>.mo,
# the layout CAppBase looks in next to bin/, and adds `<domain>-pot` to refresh the template
# from `sources` (texts marked with ZILUI_TR). With INSTALL_DESTINATION the catalogues are
# installed in the same layout below that folder. The same file serves the library's build and
# its clients: installed beside ziluiConfig.cmake, which has defined zilui::pocontext by then.

# Applies the context rules ("menu#||#Open") to each catalogue before it is compiled, and
# makes the source language's catalogue from the template; see docs/resources.md.
if(NOT TARGET zilui::pocontext)
    if(NOT EXISTS ${CMAKE_CURRENT_LIST_DIR}/../tools/pocontext.cpp)
        message(FATAL_ERROR "zilui: zilui-pocontext is missing; Translations.cmake is included without ziluiConfig.cmake.")
    endif()
    add_executable(zilui-pocontext ${CMAKE_CURRENT_LIST_DIR}/../tools/pocontext.cpp)
    set_target_properties(zilui-pocontext PROPERTIES EXPORT_NAME pocontext)
    add_executable(zilui::pocontext ALIAS zilui-pocontext)
endif()

function(zilui_add_catalogues domain po_dir)
    cmake_parse_arguments(ARG "" "INSTALL_DESTINATION;COMPONENT" "SOURCES" ${ARGN})
    # Here rather than at inclusion: a client of the package that compiles no catalogues needs
    # no gettext.
    find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
    find_program(XGETTEXT_EXECUTABLE xgettext)
    file(GLOB po_files CONFIGURE_DEPENDS ${po_dir}/*.po)
    set(pot ${po_dir}/${domain}.pot)
    set(outputs)
    set(languages)
    foreach(po ${po_files})
        get_filename_component(lang ${po} NAME_WE)
        list(APPEND languages ${lang})
    endforeach()
    # The source language's catalogue comes from the template alone ("-" for no .po).
    if(NOT "en" IN_LIST languages AND EXISTS ${pot})
        list(APPEND languages en)
    endif()
    foreach(lang ${languages})
        set(po ${po_dir}/${lang}.po)
        set(po_dependency ${po})
        set(check --check)
        if(NOT EXISTS ${po})
            set(po -)
            set(po_dependency)
            set(check)
        endif()
        set(mo ${PROJECT_BINARY_DIR}/lang/${lang}/LC_MESSAGES/${domain}.mo)
        set(ruled ${CMAKE_CURRENT_BINARY_DIR}/po/${domain}-${lang}.po)
        add_custom_command(OUTPUT ${mo}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lang/${lang}/LC_MESSAGES
                    ${CMAKE_CURRENT_BINARY_DIR}/po
            COMMAND zilui::pocontext ${pot} ${po} ${ruled}
            COMMAND ${MSGFMT_EXECUTABLE} ${check} -o ${mo} ${ruled}
            DEPENDS ${po_dependency} ${pot} zilui::pocontext
            COMMENT "Compiling ${domain} catalogue for ${lang}")
        list(APPEND outputs ${mo})
        if(ARG_INSTALL_DESTINATION)
            install(FILES ${mo} DESTINATION ${ARG_INSTALL_DESTINATION}/${lang}/LC_MESSAGES
                    COMPONENT ${ARG_COMPONENT})
        endif()
    endforeach()
    add_custom_target(${domain}-catalogues ALL DEPENDS ${outputs})
    if(XGETTEXT_EXECUTABLE AND ARG_SOURCES)
        add_custom_target(${domain}-pot
            COMMAND ${XGETTEXT_EXECUTABLE} --language=C++ --from-code=UTF-8 --keyword=ZILUI_TR
                    --package-name=${domain} --add-comments=TRANSLATORS: --sort-by-file
                    -o ${po_dir}/${domain}.pot ${ARG_SOURCES}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            COMMENT "Extracting ${domain} texts into ${po_dir}/${domain}.pot")
    endif()
endfunction()
