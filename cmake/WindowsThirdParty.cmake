# The third-party targets of the Windows build, under the names the Linux
# build gets from find_package, from what scripts/build-windows.sh put into
# LUMIVEX_THIRD_PARTY: freeglut built static from Debian's source package and
# a folder holding only CLI11's headers.
find_package(OpenGL REQUIRED COMPONENTS OpenGL)

find_library(FREEGLUT_STATIC freeglut_static REQUIRED)
find_path(FREEGLUT_INCLUDE GL/freeglut.h REQUIRED)
add_library(GLUT::GLUT STATIC IMPORTED)
set_target_properties(GLUT::GLUT PROPERTIES IMPORTED_LOCATION ${FREEGLUT_STATIC})
target_include_directories(GLUT::GLUT INTERFACE ${FREEGLUT_INCLUDE})
target_compile_definitions(GLUT::GLUT INTERFACE FREEGLUT_STATIC)
target_link_libraries(GLUT::GLUT INTERFACE OpenGL::GLU OpenGL::GL winmm gdi32)

# tools/ asks for CLI11 by find_package; this answers it.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "" FORCE)

# Cyclone DDS (CycloneDDS::ddsc and the security plugins, DLLs in
# LUMIVEX_THIRD_PARTY/bin) is found by its own CycloneDDSConfig.cmake. Its
# idlc_generate runs idlc, a program of the host: Debian's, which must be of
# the library's version. The config brings idlc_generate only when the target
# CycloneDDS::idlc exists, and when cross-compiling idlc_generate asks
# find_program for idlc under the name below, so both name the host's idlc.
find_program(LUMIVEX_IDLC idlc PATHS /usr/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
execute_process(COMMAND ${LUMIVEX_IDLC} -v OUTPUT_VARIABLE idlc_version OUTPUT_STRIP_TRAILING_WHITESPACE)
function(lumivex_check_idlc_version)
  include(${LUMIVEX_THIRD_PARTY}/lib/cmake/CycloneDDS/CycloneDDSConfigVersion.cmake)
  if(NOT idlc_version MATCHES " ${PACKAGE_VERSION}$")
    message(FATAL_ERROR "${LUMIVEX_IDLC} is '${idlc_version}', but the Windows build's Cyclone DDS is ${PACKAGE_VERSION}")
  endif()
endfunction()
lumivex_check_idlc_version()
add_executable(CycloneDDS::idlc IMPORTED)
set_target_properties(CycloneDDS::idlc PROPERTIES IMPORTED_LOCATION ${LUMIVEX_IDLC})
set(_idlc_executable ${LUMIVEX_IDLC} CACHE FILEPATH "idlc for idlc_generate (the host's)" FORCE)

# OpenSSL's static libraries; FindOpenSSL then adds the Windows libraries they
# need (ws2_32, crypt32) to OpenSSL::Crypto and OpenSSL::SSL.
set(OPENSSL_ROOT_DIR ${LUMIVEX_THIRD_PARTY})
set(OPENSSL_USE_STATIC_LIBS ON)
