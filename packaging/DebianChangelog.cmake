# The Debian changelog, made from CHANGELOG.md: each `## VERSION (DATE)`
# release (DATE as 2026-12-08 or 2026-12-08 16:30, UTC) becomes a stanza and each `- ` item (with its indented lines) an
# entry. The newest release must be the project's version, so that no release
# ships without its entry; its stanza carries the package's version
# (0.4.0+build2 for a rebuild).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
file(STRINGS ${CMAKE_SOURCE_DIR}/CHANGELOG.md changelog_lines)

# Debian dates a stanza in the form of RFC 5322, which date(1) writes.
function(lumivex_changelog_date day result)
  execute_process(COMMAND date -u -R -d "${day} UTC" OUTPUT_VARIABLE date
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "CHANGELOG.md: ${day} is not a date")
  endif()
  set(${result} ${date} PARENT_SCOPE)
endfunction()

set(debian_changelog "")
set(stanza_end "")
set(releases "")
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^## ([0-9]+\\.[0-9]+\\.[0-9]+) \\(([0-9-]+( [0-9:]+)?)\\)$")
    set(release ${CMAKE_MATCH_1})
    if(NOT releases AND release STREQUAL PROJECT_VERSION)
      set(release ${LUMIVEX_PACKAGE_VERSION})
    endif()
    list(APPEND releases ${CMAKE_MATCH_1})
    lumivex_changelog_date("${CMAKE_MATCH_2}" date)
    string(APPEND debian_changelog "${stanza_end}lumivex (${release}) unstable; urgency=medium\n\n")
    set(stanza_end "\n -- ${LUMIVEX_PACKAGE_MAINTAINER}  ${date}\n\n")
  elseif(releases AND line MATCHES "^- (.*)$")
    string(APPEND debian_changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(releases AND line MATCHES "^  (.*)$")
    string(APPEND debian_changelog "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
list(GET releases 0 newest)
if(NOT newest STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md: its newest release is ${newest}, not ${PROJECT_VERSION}: add the release's entries")
endif()
string(REGEX REPLACE "\n\n$" "\n" debian_changelog "${debian_changelog}${stanza_end}")
# Copied only when changed, so that the compressed copy is made again only then.
file(WRITE ${generated}/changelog.new "${debian_changelog}")
configure_file(${generated}/changelog.new ${generated}/changelog COPYONLY)
