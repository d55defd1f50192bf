# Installs the build tree BUILD_DIR into a fresh prefix under WORK_DIR, checks the installed
# files, then builds consumer.c from SOURCE_DIR against them twice, through pkg-config and
# through find_package(Velto), and runs both programs.
cmake_minimum_required(VERSION 3.24)
foreach(var BUILD_DIR WORK_DIR SOURCE_DIR C_COMPILER GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_install.cmake needs -D${var}=...")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${what}:\n${out}${err}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result})")
  endif()
endfunction()

run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The expected files, in the GNUInstallDirs places (lib may be lib64 or lib/<triplet>).
file(GLOB_RECURSE pcfile LIST_DIRECTORIES false ${prefix}/*/velto.pc)
if(NOT pcfile)
  message(FATAL_ERROR "velto.pc was not installed")
endif()
get_filename_component(pcdir ${pcfile} DIRECTORY)
get_filename_component(libdir ${pcdir} DIRECTORY)
foreach(file ${prefix}/include/velto.h
             ${prefix}/include/velto_units.h
             ${libdir}/libVeltoV142.so.14.2.0
             ${libdir}/cmake/Velto/VeltoConfig.cmake
             ${libdir}/cmake/Velto/VeltoConfigVersion.cmake
             ${libdir}/cmake/Velto/VeltoTargets.cmake)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "missing after installation: ${file}")
  endif()
endforeach()
foreach(link libVeltoV142.so libVeltoV142.so.14)
  if(NOT IS_SYMLINK ${libdir}/${link})
    message(FATAL_ERROR "${libdir}/${link} is not a symbolic link")
  endif()
endforeach()
file(READ_SYMLINK ${libdir}/libVeltoV142.so.14 soname_target)
if(NOT soname_target STREQUAL "libVeltoV142.so.14.2.0")
  message(FATAL_ERROR "libVeltoV142.so.14 points at ${soname_target}")
endif()
# The SONAME recorded in the library is the one the links carry.
find_program(OBJDUMP objdump)
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p ${libdir}/libVeltoV142.so.14.2.0 OUTPUT_VARIABLE dynamic)
  if(NOT dynamic MATCHES "SONAME +libVeltoV142\\.so\\.14\n")
    message(FATAL_ERROR "the installed library does not carry the SONAME libVeltoV142.so.14")
  endif()
endif()
if(EXISTS ${BUILD_DIR}/jni AND NOT EXISTS ${prefix}/share/java/velto.jar)
  message(FATAL_ERROR "the jar of the Java class was not installed")
endif()

# 1. pkg-config, as a Makefile or a shell script would use it.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs velto
  RESULT_VARIABLE result OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config --cflags --libs velto failed")
endif()
execute_process(COMMAND ${PKG_CONFIG} --modversion velto
  OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT version STREQUAL "14.2.0")
  message(FATAL_ERROR "pkg-config gives version '${version}'")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run("pkg-config build" ${C_COMPILER} -std=c11 -Wall -Wextra -Werror ${SOURCE_DIR}/consumer.c
    ${flags} -lm -Wl,-rpath,${libdir} -o ${WORK_DIR}/consumer-pkgconfig)
run("pkg-config program" ${WORK_DIR}/consumer-pkgconfig)

# 2. find_package(Velto) from an outside CMake project.
run("find_package configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/cmake-build
    -G ${GENERATOR} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_TYPE=Release)
run("find_package build" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run("find_package program" ${WORK_DIR}/cmake-build/consumer)
