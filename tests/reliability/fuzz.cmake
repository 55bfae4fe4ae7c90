# The libFuzzer targets of the kernel and of the saved-configuration conversions, built
# with clang when TONEFADE_FUZZ is ON. The code under test is compiled into each target
# so that libFuzzer's coverage sees it. Label `fuzz`: a bounded run of each (30 s) over
# its kept corpus; what a run finds goes to a scratch folder in the build, and is merged
# into tests/fuzz/corpus/<target>/ by hand:
#   kernel_fuzz -merge=1 tests/fuzz/corpus/kernel build-fuzz/tests/reliability/fuzz-scratch/kernel
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "TONEFADE_FUZZ needs clang (CC=clang CXX=clang++); kernel_fuzz and prefsrecord_fuzz are not built")
  return()
endif()

set(RELIABILITY_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
                           -fno-omit-frame-pointer)
set(TONEFADE_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs under the fuzz label")

set(PLUGIN_EFFECT_DIR ${CMAKE_SOURCE_DIR}/src/plugin/effect)

# The kernel and its pixel access; the reference pixel comes from the test support.
add_executable(kernel_fuzz ${TONEFADE_FUZZ_SOURCE_DIR}/KernelFuzz.cpp
               ${PLUGIN_EFFECT_DIR}/Tonefade.cpp ${PLUGIN_EFFECT_DIR}/PixelLib.cpp)
target_link_libraries(kernel_fuzz PRIVATE test_support)

# The conversions; the toolbox's handles and memory come from its library.
add_executable(prefsrecord_fuzz ${TONEFADE_FUZZ_SOURCE_DIR}/PrefsRecordFuzz.cpp ${PLUGIN_EFFECT_DIR}/PrefsLoader.cpp)
target_link_libraries(prefsrecord_fuzz PRIVATE toolbox hostapi)

foreach(target kernel prefsrecord)
  set(exe ${target}_fuzz)
  target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src/plugin)
  target_compile_options(${exe} PRIVATE ${RELIABILITY_FUZZ_FLAGS})
  target_link_options(${exe} PRIVATE ${RELIABILITY_FUZZ_FLAGS})
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/fuzz-scratch/${target})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME fuzz.${target}
    COMMAND ${exe} -max_total_time=${TONEFADE_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 -artifact_prefix=${scratch}/ ${scratch} ${TONEFADE_FUZZ_SOURCE_DIR}/corpus/${target})
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 300 RUN_SERIAL TRUE)
endforeach()
