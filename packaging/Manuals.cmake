# Manual pages, made at build time from what stays next to each program's
# code, so that they cannot drift from it: help2man runs each tool's --help
# and --version and adds the sections of the tool's .h2m file; the viewer,
# which has no --help, has its page in Markdown (app/lumivex.1.md.in).
# Without help2man or pandoc there are no pages (scripts/package.sh refuses
# to package then). Sanitized trees make none: their programs would report
# at build time.
find_program(HELP2MAN help2man)
find_program(PANDOC pandoc)
if(NOT HELP2MAN OR NOT PANDOC OR LUMIVEX_SANITIZE OR LUMIVEX_FUZZ)
  message(STATUS "Manual pages: not made (needs help2man and pandoc, and an unsanitized build)")
  return()
endif()

set(manuals ${CMAKE_CURRENT_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${manuals})
set(pages)

# The program runs by its bare name from its build folder, so that its usage
# line shows that name rather than the build path.
function(lumivex_help2man program)
  cmake_parse_arguments(M "" "HELP_OPTION" "" ${ARGN})
  get_target_property(source ${program} SOURCE_DIR)
  set(include ${source}/${program}.h2m)
  set(help_option --help)
  if(M_HELP_OPTION)
    set(help_option ${M_HELP_OPTION})
  endif()
  set(page ${manuals}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:/usr/bin:/bin" LUMIVEX_SHM_PREFIX=
            ${HELP2MAN} --no-info --section=1 --manual=Lumivex "--source=Lumivex ${PROJECT_VERSION}"
            --help-option=${help_option} --opt-include=${include} --output=${page} ${program}
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${program} ${include}
    COMMENT "Manual page of ${program}"
    VERBATIM)
  set(pages ${pages} ${page}.gz PARENT_SCOPE)
endfunction()

lumivex_help2man(lumivex-publisher)
lumivex_help2man(lumivex-monitor)
lumivex_help2man(lumivex-bridge HELP_OPTION --help-all)
if(TARGET lumivex-plot)
  lumivex_help2man(lumivex-plot)
endif()
if(TARGET lumivex-web)
  lumivex_help2man(lumivex-web)
endif()

configure_file(${CMAKE_SOURCE_DIR}/app/lumivex.1.md.in ${manuals}/lumivex.1.md @ONLY)
add_custom_command(OUTPUT ${manuals}/lumivex.1.gz
  COMMAND ${PANDOC} --standalone --from=markdown-smart-citations --to=man --output=${manuals}/lumivex.1 ${manuals}/lumivex.1.md
  COMMAND ${GZIP} -9nf ${manuals}/lumivex.1
  DEPENDS ${manuals}/lumivex.1.md
  COMMENT "Manual page of lumivex"
  VERBATIM)
list(APPEND pages ${manuals}/lumivex.1.gz)

add_custom_target(manuals ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
