# Install rules, the exported CMake package, pkg-config files and the Debian packages.
# Components: "runtime" (shared libraries, resources, catalogues) becomes libzilui0,
# "development" (headers, CMake and pkg-config files, zilui-skinview, docs) libzilui-dev.
include(CMakePackageConfigHelpers)

set(ZILUI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zilui)

install(TARGETS zil zilui EXPORT ziluiTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
# A client's zilui_add_catalogues() runs the tool: zilui::pocontext.
install(TARGETS zilui-pocontext EXPORT ziluiTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/zil/include/zil ${PROJECT_SOURCE_DIR}/include/zilui
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
# The build's res/ holds the library's resources and the drawn sample skins; the gallery's
# own pictures stay behind.
install(DIRECTORY ${PROJECT_BINARY_DIR}/res/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zilui/res
    COMPONENT runtime PATTERN gallery EXCLUDE)
if(TARGET zilui-skinview)
    install(TARGETS zilui-skinview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/zil/README.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/zil COMPONENT development)

# CMake package: the targets are written relative to the file's own folder, so the package
# works from wherever the prefix is unpacked.
install(EXPORT ziluiTargets NAMESPACE zilui:: DESTINATION ${ZILUI_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ziluiConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ziluiConfig.cmake INSTALL_DESTINATION ${ZILUI_CMAKE_DIR})
# 0.x: a new minor version may break the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ziluiConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ziluiConfig.cmake ${PROJECT_BINARY_DIR}/ziluiConfigVersion.cmake
    ${PROJECT_SOURCE_DIR}/cmake/ZiluiWx.cmake ${PROJECT_SOURCE_DIR}/cmake/Translations.cmake
    DESTINATION ${ZILUI_CMAKE_DIR} COMPONENT development)

# pkg-config: wxWidgets ships no .pc file, so its flags go into zilui.pc as wx-config gives
# them here. The prefix is taken from the .pc file's own folder, as for the CMake package.
set(ZILUI_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZILUI_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${ZILUI_PC_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZILUI_PC_TO_PREFIX "${ZILUI_PC_TO_PREFIX}")
execute_process(COMMAND ${wxWidgets_CONFIG_EXECUTABLE} --cxxflags
    OUTPUT_VARIABLE ZILUI_WX_CFLAGS OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${wxWidgets_CONFIG_EXECUTABLE} --libs xrc,html,adv,xml,net,core,base
    OUTPUT_VARIABLE ZILUI_WX_LIBS OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "[ \t\r\n]+" " " ZILUI_WX_LIBS "${ZILUI_WX_LIBS}")
# A program linked against a prefix outside the loader's search path finds the libraries through
# an rpath to where the .pc file says they are; one in /usr or /usr/local, as Debian's own
# packages, through the loader alone. Which one is decided when installing, where the prefix
# is known (`cmake --install --prefix`; /usr for the packages).
set(ZILUI_PC_RPATH "")
foreach(pc zil zilui)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/system/${pc}.pc @ONLY)
endforeach()
set(ZILUI_PC_RPATH " -Wl,-rpath,\${libdir}")
foreach(pc zil zilui)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/private/${pc}.pc @ONLY)
endforeach()
install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/(usr/?|usr/local/?)?$\")
        set(zilui_pc_kind system)
    else()
        set(zilui_pc_kind private)
    endif()
    file(INSTALL \"${PROJECT_BINARY_DIR}/pkgconfig/\${zilui_pc_kind}/zil.pc\"
                 \"${PROJECT_BINARY_DIR}/pkgconfig/\${zilui_pc_kind}/zilui.pc\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${ZILUI_PC_DIR}\")
    " COMPONENT development)

# Debian packages: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zilui)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "zilui developers <zilui@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "user-interface building blocks for wxWidgets applications")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed for the package into a staging folder below DESTDIR, with /usr as the prefix the
# install rules see (the .pc files' choice above).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzilui0)
# Public shared libraries: ldconfig runs when the package is installed and removed.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzilui-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The headers include wxWidgets'; zilui.pc names gtk+-3.0, and the CMake package checks it.
# zilui_add_catalogues() compiles catalogues with msgfmt.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libwxgtk3.2-dev, libgtk-3-dev, libdbusmenu-glib-dev, librsvg2-dev, pkg-config, gettext")
# dpkg-shlibdeps cannot see the runtime package's libraries from here; zilui-skinview needs
# exactly those (a dependency of their own version) and wxWidgets' (through libwxgtk3.2-dev).
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "zilui shared libraries\n The zil base layer and the zilui library, with their resources, sample skins and\n translation catalogues.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "zilui development files\n Headers, CMake package, pkg-config files, documentation and zilui-skinview.")
include(CPack)
