# Fails unless ACTUAL and EXPECTED name the same directory.
get_filename_component(actual "${ACTUAL}" REALPATH)
get_filename_component(expected "${EXPECTED}" REALPATH)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "executables are written to ${actual}, not to ${expected}")
endif()
