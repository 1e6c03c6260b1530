# What every test that starts Qt or the real program runs with: a fixed
# locale, and the leaks that system libraries' caches report at exit left out
# of AddressSanitizer's report.
set(QUARROW_TEST_ENVIRONMENT
  "LANG=C.UTF-8" "LC_ALL=C.UTF-8"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp:print_suppressions=0")

# quarrow_add_qt_test(NAME name SOURCES file... LIBS target... LABELS label...)
#
# One Qt Test program, run as one test: on the offscreen platform, with the
# environment above, a settings folder of its own (XDG_CONFIG_HOME inside the
# build folder) and Qt's messages on stderr. The program sees the helpers in
# tests/support.
function(quarrow_add_qt_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "SOURCES;LIBS;LABELS")
  if(NOT arg_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "quarrow_add_qt_test needs NAME and SOURCES")
  endif()
  add_executable(${arg_NAME} ${arg_SOURCES})
  quarrow_qt_target(${arg_NAME})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS} Qt6::Test)
  add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
  set_tests_properties(${arg_NAME} PROPERTIES LABELS "${arg_LABELS}" ENVIRONMENT
    "${QUARROW_TEST_ENVIRONMENT};QT_QPA_PLATFORM=offscreen;QT_FORCE_STDERR_LOGGING=1;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/config-${arg_NAME}")
endfunction()
