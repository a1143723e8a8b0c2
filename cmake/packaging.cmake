# What `cmake --install` puts in place and the two Debian packages CPack makes of it:
# - oquardelino: the program with its man page, bash completion and desktop launcher, and the
#   component library that hosts load;
# - liboquardelino-dev: the component's public header, its CMake package and an example host.
include(CMakePackageConfigHelpers)

set(oq_cmake_dir ${OQ_INSTALL_LIBDIR}/cmake/oquardelino)
install(EXPORT oquardelinoTargets NAMESPACE oquardelino:: DESTINATION ${oq_cmake_dir}
        COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/oquardelinoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfig.cmake INSTALL_DESTINATION ${oq_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/oquardelinoConfigVersion.cmake
        DESTINATION ${oq_cmake_dir} COMPONENT dev)

# Debian's documents: the copyright of each package, and the changelog compressed as Debian's are
# (gzip -9n: the most, with no name or time in the header, so that builds are reproducible).
set(oq_packaging ${PROJECT_SOURCE_DIR}/packaging)
configure_file(${oq_packaging}/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_target(oq_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
foreach(pair IN ITEMS "program;oquardelino" "dev;liboquardelino-dev")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${oq_packaging}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
install(FILES ${oq_packaging}/load_component.c
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/liboquardelino-dev/examples COMPONENT dev)
install(FILES ${oq_packaging}/oquardelino.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${oq_packaging}/oquardelino.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Everything the install rules copy, so that a build of this one target (scripts/demo.sh) leaves
# nothing missing for `cmake --install`.
add_custom_target(oq_installables)
add_dependencies(oq_installables oquardelino oquardelino_component oquardelino_man
                 oquardelino_completion oq_changelog)

# The maintainer named in both packages; a packager may name another.
set(OQ_MAINTAINER "oQUARDELINO maintainers <maintainers@users.noreply.c-seed-4aefe440.example>"
    CACHE STRING "Maintainer field of the Debian packages: Name <address>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program dev)
set(CPACK_PACKAGE_NAME oquardelino)
set(CPACK_PACKAGE_VENDOR "oQUARDELINO")
set(CPACK_PACKAGE_CONTACT "${OQ_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME oquardelino)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION misc)
string(CONCAT CPACK_DEBIAN_PROGRAM_DESCRIPTION
  "copies customs dispatch files (internos) inside a database\n"
  "oquardelino copies an interno (cover sheet, invoices and line items) into new\n"
  "ones inside the database of internos (SQLite or PostgreSQL), from a Qt dialog\n"
  "or the command line. The package also holds the component library\n"
  "liboquardelino.so for hosts that load it.")
# The run-time libraries (Qt, SQLite, libpq, libpqxx, the C++ library), each once, as
# dpkg-shlibdeps finds them in the binaries; the Qt platform plugins the window needs are loaded
# by Qt at run time, so no binary names them.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "fonts-wine, fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "bash-completion, postgresql-client")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liboquardelino-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "header and CMake package of the oQUARDELINO component\n"
  "The public header of liboquardelino.so (the four entry points a host calls\n"
  "to create cMAIN) and its CMake package (find_package(oquardelino)), with an\n"
  "example host in C.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "oquardelino (= ${PROJECT_VERSION})")
include(CPack)
