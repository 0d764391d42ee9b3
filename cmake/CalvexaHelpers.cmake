# calvexa_add_test(NAME src... LIBS lib...): a GoogleTest binary registered with CTest.
# Discovery runs at test time, so a GUI test binary never runs during the build.
function(calvexa_add_test name)
  if(CALVEXA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT "GTest::gtest_main" IN_LIST T_LIBS AND NOT "calvexa_guitest_main" IN_LIST T_LIBS)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# calvexa_add_fuzzer(NAME src... LIBS lib...): a libFuzzer target, built only with CALVEXA_FUZZ.
function(calvexa_add_fuzzer name)
  if(NOT CALVEXA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# calvexa_fuzz_edges_only(TARGET): in the fuzz build, the target's comparisons are not traced,
# only its edges. For code whose loops compare every character with a few fixed ones (CR, LF,
# "=", the code page's bands): tracing them costs more than the rest of an input, and inputs
# reach those characters without the fuzzer being told of them.
function(calvexa_fuzz_edges_only target)
  if(CALVEXA_FUZZ)
    target_compile_options(${target} PRIVATE -fno-sanitize-coverage=trace-cmp)
  endif()
endfunction()

# calvexa_add_bench(NAME src... LIBS lib...): a benchmark program; never registered with CTest.
function(calvexa_add_bench name)
  if(CALVEXA_FUZZ OR NOT CALVEXA_BENCH)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
endfunction()
