# liblumivex0: the client library's runtime, liblumivex.so.0 (client/), for
# the programs built against it. Its shlibs file lets their packages depend
# on it; the loader's cache is rebuilt by a trigger. CPack adds maintainer
# scripts that call ldconfig as well, for any library it packages, which the
# trigger makes redundant but harmless: lintian is told so.
if(NOT TARGET lumivex_client)
  return()
endif()
set(CPACK_DEBIAN_LIBLUMIVEX0_PACKAGE_NAME liblumivex0)
set(CPACK_DEBIAN_LIBLUMIVEX0_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBLUMIVEX0_PACKAGE_DEPENDS "")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBLUMIVEX0_DESCRIPTION "client library for Lumivex tracking channels
Lets programs list, read and write the channels in which a tracking server
publishes the pose of every tracker station (named shared memory, each
region guarded by a named mutex), as the Lumivex programs read them:
objects other users could have planted are refused, no write is read half
done, and waiting for the next write costs little time.
.
This package holds the shared library.")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/liblumivex0/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_LIBLUMIVEX0_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/liblumivex0/triggers)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/liblumivex0/lintian-overrides
  "# CPack's own maintainer scripts; the package's trigger rebuilds the cache too.\n"
  "liblumivex0: maintscript-calls-ldconfig [postinst]\n"
  "liblumivex0: maintscript-calls-ldconfig [postrm]\n")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/liblumivex0/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME liblumivex0 COMPONENT liblumivex0)
install(FILES ${generated}/copyright ${generated}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liblumivex0 COMPONENT liblumivex0)
