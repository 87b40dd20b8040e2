# Kestrune.exe run as its own process and driven from another one.

# Finds the options dialog by its caption and presses its buttons with window messages;
# the benchmark and the screenshot script use it too.
add_executable(launcher_driver launcher_driver.cpp)
target_link_libraries(launcher_driver PRIVATE user32)

add_executable(launcher_e2e_tests launcher_e2e_tests.cpp)
target_link_libraries(launcher_e2e_tests PRIVATE test_support gtest_main)
target_compile_definitions(launcher_e2e_tests PRIVATE
  KESTRUNE_EXE="$<TARGET_FILE:Kestrune>"
  KESTRUNE_DEFAULT_OPTIONS="${QUARV_DIST_DIR}/defoptions.bin"
  LAUNCHER_DRIVER_EXE="$<TARGET_FILE:launcher_driver>")
add_dependencies(launcher_e2e_tests Kestrune launcher_driver)
add_wine_test(launcher_e2e_tests launcher_e2e_tests LABELS launcher)
