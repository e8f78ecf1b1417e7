# What `cmake --install` and CPack ship. Two components: "module" (the plugin library, its public
# headers, the CMake package and the default skin) and "platform" (the stand-ins for the client's
# own libraries, which a real client does not take).
include(CMakePackageConfigHelpers)

# The skin sits in the client's folder: the module reads it relative to the working folder.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/skin/ DESTINATION ${DOWNLOADAPP_CLIENT_DIR} COMPONENT module)

set(DOWNLOADAPP_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/DownloadApp)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/DownloadAppConfig.cmake.in
    ${CMAKE_BINARY_DIR}/DownloadAppConfig.cmake
    INSTALL_DESTINATION ${DOWNLOADAPP_CMAKE_DIR}
    PATH_VARS DOWNLOADAPP_PLUGIN_DIR DOWNLOADAPP_CLIENT_DIR DOWNLOADAPP_INCLUDE_DIR)
# 1.x is compatible with any 1.y at or above the one asked for, and only with the Qt major it was
# built against.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/DownloadAppVersionOnly.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
file(READ ${CMAKE_BINARY_DIR}/DownloadAppVersionOnly.cmake dc_version_only)
file(READ ${CMAKE_CURRENT_LIST_DIR}/DownloadAppQtCheck.cmake.in dc_qt_check)
# Read, not configured: CMake would not see the file change and configure again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/DownloadAppQtCheck.cmake.in)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/DownloadAppConfigVersion.cmake
    CONTENT "${dc_version_only}${dc_qt_check}" @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/DownloadAppConfig.cmake ${CMAKE_BINARY_DIR}/DownloadAppConfigVersion.cmake
    DESTINATION ${DOWNLOADAPP_CMAKE_DIR} COMPONENT module)

# Debian packages, one a component: `./run package`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME downloadapp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "DownloadCenter developers")
set(CPACK_PACKAGE_CONTACT "DownloadCenter developers <downloadcenter@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL module platform)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# The debugging symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_MODULE_PACKAGE_NAME downloadapp)
set(CPACK_DEBIAN_PLATFORM_PACKAGE_NAME downloadapp-platform)
set(CPACK_COMPONENT_MODULE_DESCRIPTION
    "Download centre module of the video device client\n The plugin library the client loads, the facade its other modules link (with\n headers and a CMake package: find_package(DownloadApp)) and the default skin.")
set(CPACK_COMPONENT_PLATFORM_DESCRIPTION
    "Stand-ins for the client's libraries used by the download centre\n Working replacements for the client's GUI kit, host services, components,\n support library and download engine, for running the module without the client.")
# What the libraries link, by Debian package (a test checks this against the files). The module
# needs the client's libraries: the stand-ins, or a client package that provides them. Debian names
# Qt's packages after the major: libqt5network5, libqt6network6.
function(dc_qt_packages out)
    set(names "")
    foreach(part ${ARGN})
        list(APPEND names "libqt${QT_VERSION_MAJOR}${part}${QT_VERSION_MAJOR} (>= ${DC_QT_MIN_VERSION})")
    endforeach()
    string(REPLACE ";" ", " names "${names}")
    set(${out} "${names}" PARENT_SCOPE)
endfunction()
if(QT_VERSION_MAJOR EQUAL 5)
    # Qt 5's core has an ABI suffix and its GUI a GLES build that serves as well.
    set(dc_qt_base "libqt5core5a (>= 5.15), libqt5gui5 (>= 5.15) | libqt5gui5-gles (>= 5.15), libqt5widgets5 (>= 5.15)")
else()
    dc_qt_packages(dc_qt_base core gui widgets)
endif()
dc_qt_packages(dc_qt_history sql)
# The history's database driver is a package of its own.
string(APPEND dc_qt_history ", libqt${QT_VERSION_MAJOR}sql${QT_VERSION_MAJOR}-sqlite (>= ${DC_QT_MIN_VERSION})")
dc_qt_packages(dc_qt_platform svg network webenginewidgets webenginecore webchannel)
set(dc_runtime "libc6, libstdc++6, libgcc-s1, ${dc_qt_base}")
set(CPACK_DEBIAN_MODULE_PACKAGE_DEPENDS
    "${dc_runtime}, ${dc_qt_history}, downloadapp-platform (= ${PROJECT_VERSION}) | videoclient-libraries")
set(CPACK_DEBIAN_PLATFORM_PACKAGE_DEPENDS
    "${dc_runtime}, ${dc_qt_platform}, libcurl4 (>= 7.85), zlib1g")
set(CPACK_DEBIAN_PLATFORM_PACKAGE_PROVIDES videoclient-libraries)
include(CPack)
