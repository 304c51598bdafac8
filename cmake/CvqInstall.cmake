# Installs the library, its public headers, a CMake package and a pkg-config file, in
# the components the packages are made of: lib (the shared library and its version
# file), dev (everything a build against it needs) and cvq (the tool, tools/cvq).
include(CMakePackageConfigHelpers)

install(TARGETS CommonVcQx EXPORT CommonVcQxTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES "$<TARGET_LINKER_FILE:CommonVcQx>.version" DESTINATION ${CMAKE_INSTALL_LIBDIR}
        COMPONENT lib)
install(DIRECTORY commonvcqx DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h"
        PATTERN "posix" EXCLUDE)

set(CVQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/CommonVcQx)
install(EXPORT CommonVcQxTargets NAMESPACE CommonVcQx:: DESTINATION ${CVQ_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(cmake/CommonVcQxConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/CommonVcQxConfig.cmake INSTALL_DESTINATION ${CVQ_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/CommonVcQxConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CommonVcQxConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/CommonVcQxConfigVersion.cmake
        DESTINATION ${CVQ_CMAKE_DIR} COMPONENT dev)

# Relocatable: the prefix is found from where the .pc file lies.
file(RELATIVE_PATH CVQ_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(cmake/CommonVcQx.pc.in ${CMAKE_CURRENT_BINARY_DIR}/CommonVcQx.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CommonVcQx.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
