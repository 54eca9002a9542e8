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

