# Debian packages through CPack, one per install component (cmake/CvqInstall.cmake):
#   libcommonvcqx0     lib  the shared library (SONAME libCommonVcQx.so.MAJOR.MINOR)
#                           and its version file
#   libcommonvcqx-dev  dev  headers, the CMake package and the pkg-config file
#   cvq                cvq  the tool and its man page
# Built with `cpack` in a configured build (tools/check-packages does it and checks them).
set(CVQ_MAINTAINER "CommonVcQx maintainers <maintainers@users.noreply.c-seed-54a557f0.example>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME commonvcqx)
set(CPACK_PACKAGE_VENDOR "CommonVcQx")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${CVQ_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL lib dev cvq)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CVQ_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# cvq links the library of its sibling package, found where it was built; the
# dependency on that package comes from the component dependency below.
get_target_property(_cvq_library_dir CommonVcQx BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${_cvq_library_dir})
# The library package gets a shlibs file (and the ldconfig trigger) for the packages
# linking to it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_COMPONENT_CVQ_DEPENDS lib)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libcommonvcqx0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# The desktop portal's file dialog loads libdbus-1 when it is first asked for; the
# library works without it (the dialog programs remain).
set(CPACK_DEBIAN_LIB_PACKAGE_RECOMMENDS "libdbus-1-3")
# The loader's cache is refreshed through dpkg's trigger.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_LIB_DESCRIPTION "foundation class library for desktop applications
CommonVcQx is a C++20 foundation class library for desktop applications
brought from Windows to Linux: its own heaps as the process allocator, a
copy-on-write string, containers, streams and a tagged binary document
format, files, a configuration tree and registry, threads and events,
undo and redo, time, geometry and system information.
.
This package holds the shared library and its version file.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libcommonvcqx-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "foundation class library for desktop applications (development files)
CommonVcQx is a C++20 foundation class library for desktop applications
brought from Windows to Linux.
.
This package holds the headers, the CMake package (find_package(CommonVcQx))
and the pkg-config file (CommonVcQx).")

set(CPACK_DEBIAN_CVQ_PACKAGE_NAME cvq)
set(CPACK_DEBIAN_CVQ_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CVQ_DESCRIPTION "look into the data CommonVcQx stores
cvq dumps and verifies tagged documents (as text or JSON), checks
configuration files and lists, reads and writes the file-backed registry of
the CommonVcQx foundation class library.")

# What Debian wants beside each package's files: the copyright notice and a
# compressed changelog in its documentation folder. Only package builds (component
# installs) take them.
configure_file(cmake/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9 -n -f ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog -k
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(cvq_debian_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)
foreach(component lib dev cvq)
    string(TOUPPER ${component} upper)
    set(doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES cmake/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
            DESTINATION ${doc} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()
install(FILES cmake/debian/libcommonvcqx0.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME libcommonvcqx0
        COMPONENT lib EXCLUDE_FROM_ALL)

include(CPack)
