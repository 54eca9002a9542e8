# Run by CPack on the staged packages, after its own strip: takes the
# compiler's notes (.comment, .note) out of the programs, the shared library
# and the Python extension, as Debian's packaging tools do. Each package is
# staged in a folder of its own.
set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB programs "${staged}/bin/*")
file(GLOB libraries "${staged}/lib/*/lib*.so.*.*" "${staged}/lib/python3/dist-packages/*/*.so")
if(NOT programs)
  message(FATAL_ERROR "no programs staged in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program ${programs} ${libraries})
  execute_process(COMMAND "${CPACK_LUMIVEX_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not strip the notes of ${program}")
  endif()
endforeach()
