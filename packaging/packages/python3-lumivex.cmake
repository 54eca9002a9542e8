# python3-lumivex: the Python module lumivex (python/), built for Debian's
# python3 of this release, whose dist-packages it goes into; its extension
# finds numpy at run time, and the C++ runtime comes from the shared
# libraries it links (shlibdeps).
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_PACKAGE_NAME python3-lumivex)
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_PACKAGE_DEPENDS "python3 (>= 3.11), python3 (<< 3.12), python3-numpy")
set(CPACK_DEBIAN_PYTHON3-LUMIVEX_DESCRIPTION
  "Python module to read and write Lumivex tracker channels
The module lumivex lists the channels a tracking server publishes, reads
them whole as numpy arrays, waits for each new write, and writes a channel
as its one writer, with the same trust rule and reading protocol as the
Lumivex programs. It reads lumivex-monitor recordings into numpy arrays and
computes the statistics of lumivex-plot --stats.")

# Every Debian package carries its copyright and changelog.
install(FILES ${generated}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-lumivex COMPONENT python3-lumivex EXCLUDE_FROM_ALL)
