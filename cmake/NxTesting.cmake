# nx_add_gtest(name SOURCES ... LIBS ... [LABELS ...]): one GoogleTest
# binary, each test registered with CTest so the summary counts real cases.
# LABELS concurrency marks tests that `make tsan` runs under ThreadSanitizer.
function(nx_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # One label only: the discovery flattens a list of them into separate
  # arguments, so "unit concurrency" gave the tests just "unit" and
  # `make tsan` ran none of them. "unit", or the label given.
  set(_label unit)
  if(ARG_LABELS)
    set(_label ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "NX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp" LABELS "${_label}")
endfunction()

# nx_add_benchmark(name SOURCES ... LIBS ...): built with NX_BENCH, run by
# `make bench`, never by CTest (benchmarks are not timed tests).
function(nx_add_benchmark name)
  if(NOT NX_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark Threads::Threads)
  set_property(GLOBAL APPEND PROPERTY NX_BENCHMARKS ${name})
endfunction()

# nx_add_fuzzer(name SOURCES ... LIBS ...): libFuzzer target, only with NX_FUZZ.
function(nx_add_fuzzer name)
  if(NOT NX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY NX_FUZZERS ${name})
endfunction()

# nx_add_pg_suite(target): the whole test binary once more, against the
# throwaway PostgreSQL server that `make test` starts (label postgres). With
# no server it is skipped, unless the run asked for one and it failed to
# start: then it fails with the reason (tools/pg_test_server.sh).
function(nx_add_pg_suite target)
  add_test(NAME ${target}.postgres
    COMMAND ${PROJECT_SOURCE_DIR}/tools/pg_test_server.sh suite $<TARGET_FILE:${target}>)
  set_tests_properties(${target}.postgres PROPERTIES LABELS postgres SKIP_RETURN_CODE 77
    ENVIRONMENT "NX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
