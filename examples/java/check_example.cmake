# Runs a Java example offline into WORK_DIR/out.wav and checks the file (cmake -P):
# ExampleCheck level (audible above MIN_RMS, no sample at full scale, and with -DMAX_JUMP no
# second difference at or above it: no click); with -DMIDI=notes the
# example is the MIDI player, given the score ExampleCheck writes, and every note of the score
# must be found in the sound at its pitch and time.
cmake_minimum_required(VERSION 3.24)
foreach(var JAVA CLASSPATH CHECK_CLASSPATH MAIN MIN_RMS WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_example.cmake needs -D${var}=...")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(check com.quorbit.velto.examples.check.ExampleCheck)

function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${what}:\n${out}${err}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result})")
  endif()
endfunction()

set(args --wav ${WORK_DIR}/out.wav)
if(MIDI STREQUAL "notes")
  run("writing the score" ${JAVA} -cp ${CHECK_CLASSPATH} ${check} write-midi ${WORK_DIR}/score.mid)
  list(APPEND args ${WORK_DIR}/score.mid)
endif()
run("${MAIN}" ${JAVA} -Xcheck:jni -cp ${CLASSPATH} ${MAIN} ${args})
run("level check" ${JAVA} -cp ${CHECK_CLASSPATH} ${check} level ${WORK_DIR}/out.wav ${MIN_RMS}
    ${MAX_JUMP})
if(MIDI STREQUAL "notes")
  run("note check" ${JAVA} -cp ${CHECK_CLASSPATH} ${check} midi-notes ${WORK_DIR}/out.wav)
endif()
