# Included by cpack before it makes a package. The package takes its time stamps from
# SOURCE_DATE_EPOCH; where that is not set, it is the last commit's time, so that the
# plain build and package commands give the same package of the same commit whenever
# and wherever they run. Outside a git checkout the package keeps the files' own times.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_QUORVEL_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()
