# ha_library(NAME <target> GLOBS <globs...> LINK <libs...>)
# One static library; its sources are found by glob so that each class adds only its own files.
function(ha_library)
  cmake_parse_arguments(A "" "NAME" "GLOBS;LINK" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${A_GLOBS})
  if(NOT _src)
    message(FATAL_ERROR "ha_library(${A_NAME}): no source matches ${A_GLOBS}")
  endif()
  add_library(${A_NAME} STATIC ${_src})
  target_compile_options(${A_NAME} PRIVATE ${HA_WARNINGS})
  target_link_libraries(${A_NAME} PUBLIC ${A_LINK})
endfunction()

# ha_tests(NAME <exe> LABEL <label> GLOBS <globs...> LINK <libs...> [ENVIRONMENT <var=value;...>])
# One GoogleTest executable per library, each test registered with CTest under the label.
# Nothing when BUILD_TESTING is off.
function(ha_tests)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(A "" "NAME;LABEL;ENVIRONMENT" "GLOBS;LINK" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${A_GLOBS})
  if(NOT _src)
    return()
  endif()
  add_executable(${A_NAME} ${_src})
  target_compile_options(${A_NAME} PRIVATE ${HA_WARNINGS})
  target_link_libraries(${A_NAME} PRIVATE ${A_LINK} GTest::gmock GTest::gtest_main)
  set(_properties LABELS ${A_LABEL})
  if(A_ENVIRONMENT)
    list(APPEND _properties ENVIRONMENT "${A_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${A_NAME}
    PROPERTIES ${_properties}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
endfunction()
