# Runs a command-line tool and compares its standard output with an expected
# dump (x.bin and x.bin.chk). With KESTROVA_REGENERATE set in the environment
# the dump is rewritten instead; review the diff before committing it.
#   -DCOMMAND="prog;arg;..." -DEXPECTED=file.chk [-DSTDIN=file] -DACTUAL=path
if(DEFINED STDIN)
  execute_process(COMMAND ${COMMAND} INPUT_FILE ${STDIN} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
else()
  execute_process(COMMAND ${COMMAND} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "command failed (${rc}): ${COMMAND}")
endif()
if(DEFINED ENV{KESTROVA_REGENERATE})
  file(WRITE ${EXPECTED} "${out}")
  message(STATUS "rewrote ${EXPECTED}")
  return()
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${ACTUAL} "${out}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; see ${ACTUAL} (diff -u ${EXPECTED} ${ACTUAL})")
endif()
