# Run at every build (cmake -P): writes the version header, and touches it
# only when its text changed, so that a new commit shows without a new
# configuration and an unchanged one rebuilds nothing.
#
# A release build, made from the commit tagged vVERSION or from sources
# outside git (a release archive), names the release alone; any other build
# adds the commit it was made from: 0.4.0+g1a2b3c4.
set(LUMIVEX_VERSION_TEXT ${VERSION})
if(GIT AND EXISTS ${SOURCE}/.git)
  execute_process(COMMAND ${GIT} -C ${SOURCE} describe --exact-match --match v${VERSION} HEAD
                  RESULT_VARIABLE untagged OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${GIT} -C ${SOURCE} rev-parse --short=7 HEAD
                  RESULT_VARIABLE failed OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(untagged AND NOT failed)
    string(APPEND LUMIVEX_VERSION_TEXT "+g${commit}")
  endif()
endif()
configure_file(${INPUT} ${OUTPUT} @ONLY)
