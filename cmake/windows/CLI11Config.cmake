# CLI11's headers for the Windows build, without the rest of the system's
# include folder (see scripts/build-windows.sh).
if(NOT TARGET CLI11::CLI11)
  find_path(CLI11_INCLUDE CLI/CLI.hpp REQUIRED)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 INTERFACE ${CLI11_INCLUDE})
endif()
set(CLI11_FOUND TRUE)
