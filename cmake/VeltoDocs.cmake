# The HTML reference of velto.h, made by doxygen (Debian package doxygen) from docs/Doxyfile:
#   cmake --build <build> --target docs      ->  <build>/docs/html/index.html
# Doxygen runs with WARN_AS_ERROR, so an undocumented call or parameter fails the target; a
# test does the same check, so that the header stays documented.
find_program(VELTO_DOXYGEN doxygen)
if(VELTO_DOXYGEN)
  set(_velto_doxygen_env ${CMAKE_COMMAND} -E env
    VELTO_SOURCE_DIR=${PROJECT_SOURCE_DIR}
    VELTO_DOCS_OUT=${PROJECT_BINARY_DIR}/docs
    VELTO_VERSION=${PROJECT_VERSION})
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
    COMMAND ${_velto_doxygen_env} ${VELTO_DOXYGEN} ${PROJECT_SOURCE_DIR}/docs/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "HTML reference of velto.h in ${PROJECT_BINARY_DIR}/docs/html"
    VERBATIM)
  if(VELTO_TESTS)
    add_test(NAME docs_reference
      COMMAND ${CMAKE_COMMAND} -E env
        VELTO_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        VELTO_DOCS_OUT=${PROJECT_BINARY_DIR}/docs-check
        VELTO_VERSION=${PROJECT_VERSION}
        ${VELTO_DOXYGEN} ${PROJECT_SOURCE_DIR}/docs/Doxyfile
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    set_tests_properties(docs_reference PROPERTIES TIMEOUT 120 LABELS docs)
  endif()
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "doxygen not found: install it with tools/setup.sh"
    COMMAND ${CMAKE_COMMAND} -E false)
endif()

# The unit catalogue of the guide (docs/units.md), the public header of names
# (include/velto_units.h) and the Java classes of the unit types are written from the engine's
# descriptors:
#   cmake --build <build> --target velto_unit_catalog
#   <build>/velto_unit_catalog > docs/units.md
#   <build>/velto_unit_catalog --header > include/velto_units.h
#   <build>/velto_unit_catalog --java java/generated/com/quorbit/velto
# and tests check that the committed files still match them.
if(VELTO_TESTS)
  add_executable(velto_unit_catalog ${PROJECT_SOURCE_DIR}/docs/tools/unit_catalog.cpp)
else()
  add_executable(velto_unit_catalog EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/docs/tools/unit_catalog.cpp)
endif()
target_compile_options(velto_unit_catalog PRIVATE ${VELTO_FLAGS})
target_link_libraries(velto_unit_catalog PRIVATE velto_internal)
if(VELTO_TESTS)
  add_test(NAME docs_unit_catalog
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:velto_unit_catalog>
      -DEXPECTED=${PROJECT_SOURCE_DIR}/docs/units.md
      -P ${PROJECT_SOURCE_DIR}/docs/tools/check_catalog.cmake)
  set_tests_properties(docs_unit_catalog PROPERTIES TIMEOUT 60 LABELS docs)
  # The public header of names and the generated Java classes come from the same descriptors.
  add_test(NAME units_header_matches
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:velto_unit_catalog> -DMODE=header
      -DEXPECTED=${PROJECT_SOURCE_DIR}/include/velto_units.h
      -P ${PROJECT_SOURCE_DIR}/docs/tools/check_catalog.cmake)
  add_test(NAME java_units_match
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:velto_unit_catalog> -DMODE=java
      -DEXPECTED=${PROJECT_SOURCE_DIR}/java/generated/com/quorbit/velto
      -P ${PROJECT_SOURCE_DIR}/docs/tools/check_catalog.cmake)
  set_tests_properties(units_header_matches java_units_match PROPERTIES TIMEOUT 60 LABELS docs)
endif()
