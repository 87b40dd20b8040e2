# Hollagrin.exe run as several processes at once and driven from another one.

# Finds the wizard's sheet by its caption, fills its edits, clicks its buttons and reads
# its texts with window messages; the screenshot script uses it too.
add_executable(wizard_driver wizard_driver.cpp)
target_include_directories(wizard_driver PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../common)
target_link_libraries(wizard_driver PRIVATE user32 gdi32 comctl32 psapi)

# Starting wizards in players' folders and driving them, for every whole-program test of the wizard.
add_library(wizard_run STATIC wizard_run.cpp)
target_include_directories(wizard_run PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(wizard_run PUBLIC test_support)
target_compile_definitions(wizard_run PRIVATE WIZARD_DRIVER_EXE="$<TARGET_FILE:wizard_driver>")
add_dependencies(wizard_run wizard_driver)

add_executable(wizard_e2e_tests wizard_e2e_tests.cpp)
target_link_libraries(wizard_e2e_tests PRIVATE wizard_run wizard_ports gtest_main)
target_compile_definitions(wizard_e2e_tests PRIVATE
  HOLLAGRIN_EXE="$<TARGET_FILE:Hollagrin>"
  KESTRUNE_EXE="$<TARGET_FILE:Kestrune>"
  KESTRUNE_DEFAULT_OPTIONS="${QUARV_DIST_DIR}/defoptions.bin"
  LAUNCHER_DRIVER_EXE="$<TARGET_FILE:launcher_driver>")
add_dependencies(wizard_e2e_tests Hollagrin wizard_driver Kestrune launcher_driver)
add_wine_test(wizard_e2e_tests wizard_e2e_tests TIMEOUT 240 LABELS wizard)

# The lobby under load: real wizards against peers that write the wire bytes themselves, in
# tests and in the program tools/bench-lobby runs.
add_library(lobby_load STATIC lobby_load.cpp)
target_include_directories(lobby_load PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lobby_load PUBLIC wizard_run wizard_ports lobby_test_peer)

add_executable(lobby_load_e2e_tests lobby_load_e2e_tests.cpp)
target_link_libraries(lobby_load_e2e_tests PRIVATE lobby_load gtest_main)
target_compile_definitions(lobby_load_e2e_tests PRIVATE HOLLAGRIN_EXE="$<TARGET_FILE:Hollagrin>")
add_dependencies(lobby_load_e2e_tests Hollagrin wizard_driver)
add_wine_test(lobby_load_e2e_tests lobby_load_e2e_tests TIMEOUT 180 LABELS wizard)

add_executable(lobby_load_bench lobby_load_bench.cpp)
target_link_libraries(lobby_load_bench PRIVATE lobby_load)
target_compile_definitions(lobby_load_bench PRIVATE HOLLAGRIN_EXE="$<TARGET_FILE:Hollagrin>")
add_dependencies(lobby_load_bench Hollagrin wizard_driver)

# The lobby over minutes: clients that come, talk, stall, flood and go, and the host's
# handles, threads and memory read from outside it. tools/soak-lobby runs it for longer.
set(QUARV_SOAK_MINUTES 2 CACHE STRING "How long ctest soaks the lobby, in minutes")
add_executable(lobby_soak lobby_soak.cpp process_figures.cpp)
target_link_libraries(lobby_soak PRIVATE lobby_load psapi)
target_compile_definitions(lobby_soak PRIVATE HOLLAGRIN_EXE="$<TARGET_FILE:Hollagrin>")
add_dependencies(lobby_soak Hollagrin wizard_driver)
math(EXPR soak_limit "${QUARV_SOAK_MINUTES} * 60 + 180")
add_wine_test(lobby_soak lobby_soak ARGS ${QUARV_SOAK_MINUTES} TIMEOUT ${soak_limit} LABELS wizard)
