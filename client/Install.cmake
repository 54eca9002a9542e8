# How liblumivex is installed: the runtime library (the Debian package
# liblumivex0) apart from what building against it takes (lumivex-dev): the
# header, the unversioned link, lumivex.pc and the CMake package Lumivex with
# the imported target Lumivex::lumivex.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(lumivex_client PROPERTIES EXPORT_NAME lumivex)
set(cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Lumivex)

install(TARGETS lumivex_client EXPORT LumivexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT liblumivex0 NAMELINK_COMPONENT lumivex-dev)
install(FILES include/lumivex/lumivex.h ${CMAKE_CURRENT_BINARY_DIR}/include/lumivex/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumivex COMPONENT lumivex-dev)

configure_file(lumivex.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumivex.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumivex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT lumivex-dev)

install(EXPORT LumivexTargets NAMESPACE Lumivex:: DESTINATION ${cmake_package_dir} COMPONENT lumivex-dev)
configure_package_config_file(LumivexConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/LumivexConfig.cmake
  INSTALL_DESTINATION ${cmake_package_dir})
# A program built against 0.x runs with any later 0.y: the soname changes
# with the major version.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumivexConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumivexConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/LumivexConfigVersion.cmake
  DESTINATION ${cmake_package_dir} COMPONENT lumivex-dev)
