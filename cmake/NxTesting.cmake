# nx_add_gtest(name SOURCES ... LIBS ... [LABELS ...]): one GoogleTest
# binary, each test registered with CTest so the summary counts real cases.
# LABELS concurrency marks tests that `make tsan` runs under ThreadSanitizer.
function(nx_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(_labels unit ${ARG_LABELS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "NX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp" LABELS "${_labels}")
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
