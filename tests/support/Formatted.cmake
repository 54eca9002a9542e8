# Fails unless every C++ file git tracks under SOURCE is laid out as its
# .clang-format says, naming the files that are not (CLANG_FORMAT runs it).
# The checkout may belong to another user (the tests run as an ordinary
# user in root's tree); listing its files runs nothing of it.
execute_process(COMMAND git -c safe.directory=${SOURCE} ls-files *.cpp *.h WORKING_DIRECTORY "${SOURCE}"
                OUTPUT_VARIABLE files RESULT_VARIABLE listed OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT listed EQUAL 0 OR files STREQUAL "")
  message(FATAL_ERROR "git lists no C++ files in ${SOURCE}")
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${files} WORKING_DIRECTORY "${SOURCE}"
                RESULT_VARIABLE formatted ERROR_VARIABLE complaints)
if(NOT formatted EQUAL 0)
  string(REGEX MATCHALL "[^\n]*: error: code should be clang-formatted" lines "${complaints}")
  list(TRANSFORM lines REPLACE ":[0-9]+:[0-9]+: error: code should be clang-formatted" "")
  list(REMOVE_DUPLICATES lines)
  string(REPLACE ";" "\n  " named "${lines}")
  message(FATAL_ERROR "not laid out as .clang-format says (clang-format -i FILE):\n  ${named}")
endif()
