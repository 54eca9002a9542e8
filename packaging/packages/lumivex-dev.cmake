# lumivex-dev: what building against the client library takes (client/):
# the header, the link to the library, lumivex.pc and the CMake package, and
# an example reader with its Makefile and CMake project.
if(NOT TARGET lumivex_client)
  return()
endif()
set(CPACK_DEBIAN_LUMIVEX-DEV_PACKAGE_NAME lumivex-dev)
set(CPACK_DEBIAN_LUMIVEX-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LUMIVEX-DEV_PACKAGE_DEPENDS "")
set(CPACK_COMPONENT_LUMIVEX-DEV_DEPENDS liblumivex0)
set(CPACK_DEBIAN_LUMIVEX-DEV_DESCRIPTION "client library for Lumivex tracking channels (development files)
Lets programs list, read and write the channels in which a tracking server
publishes the pose of every tracker station (named shared memory, each
region guarded by a named mutex), as the Lumivex programs read them.
.
This package holds the C header, the pkg-config file, the CMake package
Lumivex and an example reader.")
set(dev_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumivex-dev)
install(FILES ${generated}/copyright ${generated}/changelog.gz DESTINATION ${dev_docdir} COMPONENT lumivex-dev)
install(FILES ${CMAKE_SOURCE_DIR}/examples/reader.c ${CMAKE_SOURCE_DIR}/examples/Makefile ${CMAKE_SOURCE_DIR}/examples/CMakeLists.txt
  DESTINATION ${dev_docdir}/examples COMPONENT lumivex-dev)
