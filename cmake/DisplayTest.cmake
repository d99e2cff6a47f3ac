# ha_display_test(NAME <test> LABEL <label> COMMAND <command...> [TIMEOUT <s>]
#                 [ENVIRONMENT <var=value>...] [COMPOSITOR x11|headless])
# A test that needs a display: its command runs on a virtual X server of its own (xvfb-run,
# one 1280 x 1024 screen) with the leak suppressions of the display library, which keeps
# what it allocated until exit. With COMPOSITOR the command runs inside a Wayland compositor
# (weston) started on that server with its X11 backend, or with its headless one (no seat);
# without weston the test is skipped with a line. Exit status 77 counts as skipped.
function(ha_display_test)
  if(DEFINED BUILD_TESTING AND NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(A "" "NAME;LABEL;TIMEOUT;COMPOSITOR" "COMMAND;ENVIRONMENT" ${ARGN})
  find_program(HA_XVFB_RUN xvfb-run REQUIRED)
  set(_command ${A_COMMAND})
  set(_leaks "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/os/display/tests/smoke/lsan-display.supp")
  if(A_COMPOSITOR)
    set(_command bash ${CMAKE_SOURCE_DIR}/os/display/tests/smoke/InCompositor.sh ${A_COMPOSITOR} ${_command})
    # On Wayland the display library unloads what it loaded (the GL driver, the title bar's
    # plugin) before the leak check, whose leftovers then have no stack to be suppressed by;
    # the sanitizer build checks these tests for memory errors only.
    set(_leaks "${_leaks}:detect_leaks=0")
    list(APPEND A_ENVIRONMENT
         "TSAN_OPTIONS=halt_on_error=1:suppressions=${CMAKE_SOURCE_DIR}/os/display/tests/smoke/tsan-compositor.supp")
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  set(_environment "${_leaks}" ${A_ENVIRONMENT})
  add_test(NAME ${A_NAME} COMMAND ${HA_XVFB_RUN} -a -s "-screen 0 1280x1024x24" ${_command})
  set_tests_properties(${A_NAME} PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT} SKIP_RETURN_CODE 77
                       ENVIRONMENT "${_environment}")
endfunction()
