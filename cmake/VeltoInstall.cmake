# Installation of Velto: the versioned shared library, the public headers velto.h and
# velto_units.h, the CMake package (find_package(Velto) -> Velto::VeltoV142, with a version
# file), the pkg-config file velto.pc and the jar of the Java class. Directories follow
# GNUInstallDirs.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# libVeltoV142.so.14.2.0, SONAME libVeltoV142.so.14, and the libVeltoV142.so link that the Java
# class loads by name.
set_target_properties(VeltoV142 PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(VeltoV142 PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

set(VELTO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velto)
set(VELTO_INSTALL_JAR ${CMAKE_INSTALL_DATADIR}/java/velto.jar)

install(TARGETS VeltoV142 EXPORT VeltoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/include/velto.h ${PROJECT_SOURCE_DIR}/include/velto_units.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

install(EXPORT VeltoTargets NAMESPACE Velto:: FILE VeltoTargets.cmake
  DESTINATION ${VELTO_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeltoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VeltoConfig.cmake
  INSTALL_DESTINATION ${VELTO_INSTALL_CMAKEDIR}
  PATH_VARS VELTO_INSTALL_JAR)
# The interface number is the major version (14): 14.x releases are interchangeable.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeltoConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VeltoConfig.cmake ${PROJECT_BINARY_DIR}/VeltoConfigVersion.cmake
  DESTINATION ${VELTO_INSTALL_CMAKEDIR} COMPONENT development)

# velto.pc: relocatable (the prefix is found from the file's own place, ${pcfiledir}), so that
# `cmake --install --prefix DIR` gives a working file; absolute directories stay absolute.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VELTO_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _velto_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" _velto_up "${_velto_up}")
  set(VELTO_PC_PREFIX "\${pcfiledir}/${_velto_up}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VELTO_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(VELTO_PC_LIBDIR "\${exec_prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VELTO_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(VELTO_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/velto.pc.in ${PROJECT_BINARY_DIR}/velto.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velto.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The Java API, as velto.jar beside the other jars of the system: the classes of
# com.quorbit.velto with the engine library inside (jni/CMakeLists.txt), and a Maven POM of it
# (com.quorbit:velto:<version>), pom.xml, beside it.
if(TARGET velto_java)
  get_target_property(_velto_jar velto_java JAR_FILE)
  get_target_property(VELTO_POM_PLATFORM velto_java VELTO_PLATFORM)
  install(FILES ${_velto_jar} DESTINATION ${CMAKE_INSTALL_DATADIR}/java COMPONENT runtime)
  configure_file(${PROJECT_SOURCE_DIR}/java/pom.xml.in ${PROJECT_BINARY_DIR}/jni/pom.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/jni/pom.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/java COMPONENT runtime)
endif()

# An outside program built against the installed files, once through pkg-config and once
# through find_package, then run. A sanitizer build is not what gets installed: its library
# needs the sanitizer runtime in every program that links it, so the check runs in plain builds.
if(VELTO_TESTS AND VELTO_SANITIZE STREQUAL "" AND NOT VELTO_FUZZ)
  add_test(NAME install_consumer
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/install-check
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}/tests/install
      -DC_COMPILER=${CMAKE_C_COMPILER}
      -DGENERATOR=${CMAKE_GENERATOR}
      -P ${PROJECT_SOURCE_DIR}/tests/install/check_install.cmake)
  set_tests_properties(install_consumer PROPERTIES TIMEOUT 300 LABELS install)
endif()
