# Installs the runtime files of the build tree BUILD_DIR into a fresh prefix under WORK_DIR,
# checks the jar and its POM, then compiles SOURCE against the installed jar alone and runs it
# with nothing else that could lead to the engine library: no java.library.path, no velto.library
# property, no LD_LIBRARY_PATH. The program must find the library inside the jar. The extracted
# copy must be gone once the virtual machine has exited.
cmake_minimum_required(VERSION 3.24)
foreach(var BUILD_DIR WORK_DIR SOURCE JAVAC JAVA VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_installed_jar.cmake needs -D${var}=...")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
set(classes ${WORK_DIR}/classes)
set(tmp ${WORK_DIR}/tmp)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${classes} ${tmp})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${what}:\n${out}${err}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result})")
  endif()
endfunction()

run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
    --component runtime)

set(jar ${prefix}/share/java/velto.jar)
set(pom ${prefix}/share/java/pom.xml)
foreach(file ${jar} ${pom})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "missing after installation: ${file}")
  endif()
endforeach()
file(READ ${pom} pom_text)
foreach(element "<groupId>com.quorbit</groupId>" "<artifactId>velto</artifactId>"
                "<version>${VERSION}</version>")
  string(FIND "${pom_text}" "${element}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${pom} lacks ${element}")
  endif()
endforeach()

run("javac" ${JAVAC} -Xlint:all -Werror -cp ${jar} -d ${classes} ${SOURCE})
run("java" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=JAVA_TOOL_OPTIONS
    --unset=JDK_JAVA_OPTIONS --unset=_JAVA_OPTIONS
    ${JAVA} -Xcheck:jni -Djava.io.tmpdir=${tmp} -cp ${jar}:${classes} InstalledJarCheck)

file(GLOB left ${tmp}/*)
if(left)
  message(FATAL_ERROR "the extracted library was not removed at exit: ${left}")
endif()
