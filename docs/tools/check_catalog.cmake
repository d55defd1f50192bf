# Runs the catalogue writer TOOL and compares its output with the committed file EXPECTED.
execute_process(COMMAND ${TOOL} RESULT_VARIABLE result OUTPUT_VARIABLE actual)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed (${result})")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "${EXPECTED} no longer matches the unit descriptors; rewrite it with\n"
                      "  ${TOOL} > ${EXPECTED}")
endif()
message(STATUS "docs/units.md matches the unit descriptors")
