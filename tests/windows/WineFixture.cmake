# The Wine prefix every Windows test runs in: created fresh before the first
# and removed after the last, with its server stopped.
get_filename_component(wine_folder ${QUARROW_WINE} DIRECTORY)
find_program(QUARROW_WINESERVER NAMES wineserver64 wineserver PATHS ${wine_folder} NO_CMAKE_FIND_ROOT_PATH)
add_test(NAME windows_wine_prefix_create
         COMMAND sh -c "rm -rf \"$0\" && \"$1\" wineboot --init && \"$2\" --wait" ${QUARROW_WINEPREFIX} ${QUARROW_WINE}
                 ${QUARROW_WINESERVER})
add_test(NAME windows_wine_prefix_remove
         COMMAND sh -c "\"$1\" --kill; rm -rf \"$0\"" ${QUARROW_WINEPREFIX} ${QUARROW_WINESERVER})
set_tests_properties(windows_wine_prefix_create PROPERTIES FIXTURES_SETUP wine LABELS windows
                     ENVIRONMENT "${QUARROW_WINE_ENVIRONMENT}" TIMEOUT 300)
set_tests_properties(windows_wine_prefix_remove PROPERTIES FIXTURES_CLEANUP wine LABELS windows
                     ENVIRONMENT "${QUARROW_WINE_ENVIRONMENT}")

# The comparison with the Linux converter, given a Linux build tree that holds
# cli/quarrow-cli and bench/gen_csv.
set(QUARROW_LINUX_BUILD "" CACHE PATH "A Linux build of this tree, for comparing the two converters' output")
if(QUARROW_LINUX_BUILD)
  add_test(NAME windows_output_matches_linux
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/compare-with-linux.sh ${QUARROW_LINUX_BUILD}/cli/quarrow-cli
                   ${QUARROW_LINUX_BUILD}/bench/gen_csv $<TARGET_FILE:quarrow-cli> ${QUARROW_WINE}
                   ${CMAKE_CURRENT_BINARY_DIR}/compare-with-linux)
  set_tests_properties(windows_output_matches_linux PROPERTIES LABELS windows FIXTURES_REQUIRED wine
                       ENVIRONMENT "${QUARROW_WINE_ENVIRONMENT}" TIMEOUT 900)
endif()
