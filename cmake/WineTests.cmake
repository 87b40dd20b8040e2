# add_wine_test(<name> <target> [TIMEOUT seconds] [ARGS ...] [ENVIRONMENT var=value...] [LABELS ...])
# Runs a cross-built test program under Wine. Wine tests share one prefix and one
# X display, and parallel runs in one prefix are flaky, so they take a common lock.
function(add_wine_test name target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "ARGS;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${target} ${ARG_ARGS})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_session
    RESOURCE_LOCK wine
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "wine;${ARG_LABELS}")
  if(ARG_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()

