# Hollagrin.exe with the real directory service on loopback: a host publishes, other players
# find it in their Internet list and join it, and it leaves the list once its wizard has ended.

# The shipped wizard talks to the directory it was configured for. Its loopback build is the
# same program with other addresses compiled in: for the directory 127.0.0.1 and a port fixed
# for the build folder; for LAN discovery the test builds' loopback broadcast (both in
# tests/CMakeLists.txt).
build_folder_port(default_directory_port "")
set(QUARV_E2E_DIRECTORY_PORT ${default_directory_port} CACHE STRING
    "Port of the directory that the loopback build of the wizard talks to")

add_library(loopback_directory_address OBJECT ${CMAKE_SOURCE_DIR}/directory/directory_address.cpp)
target_include_directories(loopback_directory_address PRIVATE ${CMAKE_SOURCE_DIR}/directory)
target_compile_definitions(loopback_directory_address PRIVATE
  QUARV_DIRECTORY_HOST="127.0.0.1"
  QUARV_DIRECTORY_PORT=${QUARV_E2E_DIRECTORY_PORT})

add_executable(hollagrin_loopback WIN32 ${CMAKE_SOURCE_DIR}/wizard/main.cpp)
target_link_libraries(hollagrin_loopback PRIVATE loopback_directory_address loopback_lan_address hollagrin_core
                      hollagrin_resources)

# The service on that port, with probes often enough that a host that has gone leaves the
# list within seconds.
set(e2e_probe_interval 1)
set(e2e_retry_interval 1)
set(e2e_failures_to_drop 3)
math(EXPR e2e_drop_seconds "${e2e_probe_interval} + (${e2e_failures_to_drop} - 1) * ${e2e_retry_interval}")
set(e2e_service_session ${CMAKE_CURRENT_BINARY_DIR}/directory-service-session)
add_test(NAME directory_e2e_service_start
  COMMAND ${CMAKE_SOURCE_DIR}/tests/directory/directory-service-session start ${e2e_service_session}
          ${QUARV_DIRECTORY_SERVICE_EXE} ${QUARV_E2E_DIRECTORY_PORT}
          --probe-interval ${e2e_probe_interval} --retry-interval ${e2e_retry_interval}
          --failures-to-drop ${e2e_failures_to_drop})
set_tests_properties(directory_e2e_service_start PROPERTIES FIXTURES_SETUP directory_e2e_service)
add_test(NAME directory_e2e_service_stop
  COMMAND ${CMAKE_SOURCE_DIR}/tests/directory/directory-service-session stop ${e2e_service_session})
set_tests_properties(directory_e2e_service_stop PROPERTIES FIXTURES_CLEANUP directory_e2e_service)

add_executable(directory_e2e_tests directory_e2e_tests.cpp)
target_link_libraries(directory_e2e_tests PRIVATE wizard_run wizard_ports gtest_main)
target_compile_definitions(directory_e2e_tests PRIVATE
  HOLLAGRIN_LOOPBACK_EXE="$<TARGET_FILE:hollagrin_loopback>"
  DIRECTORY_DROP_SECONDS=${e2e_drop_seconds})
add_dependencies(directory_e2e_tests hollagrin_loopback)
add_wine_test(directory_e2e_tests directory_e2e_tests TIMEOUT 120 LABELS wizard)
set_tests_properties(directory_e2e_tests PROPERTIES FIXTURES_REQUIRED "wine_session;directory_e2e_service")
