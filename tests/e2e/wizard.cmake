# Hollagrin.exe run as several processes at once and driven from another one.

# Finds the wizard's sheet by its caption, fills its edits, clicks its buttons and reads
# its texts with window messages; the screenshot script uses it too.
add_executable(wizard_driver wizard_driver.cpp)
target_link_libraries(wizard_driver PRIVATE user32 gdi32 comctl32 psapi)

add_executable(wizard_e2e_tests wizard_e2e_tests.cpp)
target_link_libraries(wizard_e2e_tests PRIVATE test_support wizard_ports gtest_main)
target_compile_definitions(wizard_e2e_tests PRIVATE
  HOLLAGRIN_EXE="$<TARGET_FILE:Hollagrin>"
  WIZARD_DRIVER_EXE="$<TARGET_FILE:wizard_driver>"
  KESTRUNE_EXE="$<TARGET_FILE:Kestrune>"
  KESTRUNE_DEFAULT_OPTIONS="${QUARV_DIST_DIR}/defoptions.bin"
  LAUNCHER_DRIVER_EXE="$<TARGET_FILE:launcher_driver>")
add_dependencies(wizard_e2e_tests Hollagrin wizard_driver Kestrune launcher_driver)
add_wine_test(wizard_e2e_tests wizard_e2e_tests TIMEOUT 240 LABELS wizard)
