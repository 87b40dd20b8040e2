# Hollagrin.exe on the LAN road: its loopback build (tests/e2e/directory.cmake), whose LAN
# queries reach every wizard on this machine and nothing beyond it.
add_executable(lan_e2e_tests lan_e2e_tests.cpp)
target_link_libraries(lan_e2e_tests PRIVATE wizard_run wizard_ports gtest_main)
target_compile_definitions(lan_e2e_tests PRIVATE HOLLAGRIN_LOOPBACK_EXE="$<TARGET_FILE:hollagrin_loopback>")
add_dependencies(lan_e2e_tests hollagrin_loopback)
add_wine_test(lan_e2e_tests lan_e2e_tests TIMEOUT 120 LABELS wizard)
