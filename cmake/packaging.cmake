# What `cmake --install` puts in place and the Debian package CPack makes of it: the program, its
# man page and bash completion, the component library with its public header and CMake package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(oq_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/oquardelino)
install(EXPORT oquardelinoTargets NAMESPACE oquardelino:: DESTINATION ${oq_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/oquardelinoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfig.cmake INSTALL_DESTINATION ${oq_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfigVersion.cmake
        DESTINATION ${oq_cmake_dir})

# Everything the install rules copy, so that a build of this one target (scripts/demo.sh) leaves
# nothing missing for `cmake --install`.
add_custom_target(oq_installables)
add_dependencies(oq_installables oquardelino oquardelino_component oquardelino_man
                 oquardelino_completion)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oquardelino)
set(CPACK_PACKAGE_VENDOR "oQUARDELINO")
set(CPACK_PACKAGE_CONTACT "oQUARDELINO developers <oquardelino@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies customs dispatch files (internos) inside a database")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "oquardelino copies an interno (cover sheet, invoices and line items) into new ones inside the "
  "database of internos (SQLite or PostgreSQL), from a Qt dialog or the command line. The package "
  "also holds the component library liboquardelino.so, its header and CMake package for hosts "
  "that load it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The run-time libraries (Qt, SQLite, libpq, libpqxx, the C++ library) as dpkg-shlibdeps finds them
# in the binaries; the fonts the window prefers are not libraries, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpq is reached through libpqxx, yet the program relies on it directly (PGHOST, ~/.pgpass).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpq5")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, postgresql-client")
set(CPACK_STRIP_FILES ON)
include(CPack)
