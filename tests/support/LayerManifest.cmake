# Writes FILE, which support/Layering.cmake reads: the library folders (made
# by lumivex_library), and for every library and program of the product its
# folder, its sources (a library's headers too), and the Lumivex libraries it
# links (all of them) and passes on to whoever links it (the public ones).
# Included once every folder is added.

# The Lumivex library an item of a link list names, or nothing.
function(lumivex_linked_library item result)
  set(${result} "" PARENT_SCOPE)
  if(NOT TARGET ${item})
    return()
  endif()
  get_target_property(aliased ${item} ALIASED_TARGET)
  if(aliased)
    set(item ${aliased})
  endif()
  get_target_property(folder ${item} LUMIVEX_FOLDER)
  if(folder)
    set(${result} ${item} PARENT_SCOPE)
  endif()
endfunction()

function(lumivex_linked_libraries target property result)
  get_target_property(items ${target} ${property})
  set(libraries "")
  foreach(item IN LISTS items)
    # What a static library links privately is passed on only for linking.
    if(item MATCHES "^\\$<LINK_ONLY:")
      continue()
    endif()
    lumivex_linked_library("${item}" library)
    list(APPEND libraries ${library})
  endforeach()
  set(${result} "${libraries}" PARENT_SCOPE)
endfunction()

# The folders below `dir` that CMake added, but for what only checks the
# product (tests, benchmarks, fuzz targets, sanitizers, packaging).
function(lumivex_product_folders dir result)
  set(found "")
  get_directory_property(children DIRECTORY ${dir} SUBDIRECTORIES)
  foreach(child IN LISTS children)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${child})
    if(NOT relative MATCHES "^(tests|bench|fuzz|sanitizers|packaging)(/|$)")
      lumivex_product_folders(${child} below)
      list(APPEND found ${child} ${below})
    endif()
  endforeach()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

function(lumivex_write_layer_manifest file)
  get_property(libraryFolders GLOBAL PROPERTY LUMIVEX_LIBRARY_FOLDERS)
  set(text "")
  foreach(folder IN LISTS libraryFolders)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${folder})
    string(APPEND text "list(APPEND FOLDERS ${relative})\n")
  endforeach()
  lumivex_product_folders(${CMAKE_SOURCE_DIR} folders)
  foreach(folder IN LISTS folders)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${folder})
    get_directory_property(targets DIRECTORY ${folder} BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$")
        continue()
      endif()
      get_target_property(sources ${target} SOURCES)
      list(FILTER sources INCLUDE REGEX "\\.(cpp|h)$")
      list(TRANSFORM sources PREPEND ${folder}/ REGEX "^[^/]")
      get_target_property(own ${target} LUMIVEX_FOLDER)
      if(own)
        file(GLOB_RECURSE headers ${folder}/*.h)
        list(APPEND sources ${headers})
      endif()
      lumivex_linked_libraries(${target} LINK_LIBRARIES links)
      lumivex_linked_libraries(${target} INTERFACE_LINK_LIBRARIES public)
      string(APPEND text "list(APPEND TARGETS ${target})\n"
                         "set(${target}_FOLDER ${relative})\n"
                         "set(${target}_FILES \"${sources}\")\n"
                         "set(${target}_LINKS \"${links}\")\n"
                         "set(${target}_PUBLIC \"${public}\")\n")
    endforeach()
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()
