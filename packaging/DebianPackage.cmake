# The Debian packages: `cpack -G DEB` in the build tree (scripts/package.sh)
# writes lumivex_VERSION_amd64.deb there, and beside it one package per
# further install component, each set up by its own packages/NAME.cmake
# (component NAME, package NAME). Settings made here for the whole package
# hold for all of them; those of lumivex alone are its component's.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_LUMIVEX_PACKAGE_NAME lumivex)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_PACKAGE_NAME lumivex)
set(CPACK_PACKAGE_VERSION ${LUMIVEX_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# CPack's strip keeps the compiler's notes, which Debian's packages drop.
set(CPACK_LUMIVEX_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/StripNotes.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUMIVEX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LUMIVEX_HOMEPAGE})
# Each package's description starts with its own synopsis line.
set(CPACK_DEBIAN_LUMIVEX_DESCRIPTION "interactive 3-D viewer for motion-tracking data
A tracking server publishes the pose of every tracker station in named
shared memory, each region guarded by a named mutex. The viewer, lumivex,
maps those regions and follows the stations with its camera and boxes.
lumivex-publisher stands in for the tracking server and replays recordings,
lumivex-monitor shows and records what is published, and lumivex-bridge
carries the channels between machines over DDS, also as systemd services;
lumivex-web serves a live view of the channels to web browsers.")
# Dependencies come from the shared libraries the programs use; the
# maintainer scripts need adduser, and lumivex-plot PLplot's cairo driver,
# which PLplot loads at run time, so no library names it; lumivex-web the
# 3-D library its page loads (libjs-three), which it serves from its folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_LUMIVEX_PACKAGE_DEPENDS "adduser, plplot-driver-cairo, libjs-three")
set(CPACK_DEBIAN_LUMIVEX_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
file(GLOB packages ${CMAKE_CURRENT_LIST_DIR}/packages/*.cmake)
foreach(package ${packages})
  include(${package})
endforeach()
include(CPack)
