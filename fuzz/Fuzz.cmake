# libFuzzer targets for the chunk and the document readers, built only with -DVORPALIX_FUZZ=ON
# and clang:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVORPALIX_FUZZ=ON
#   cmake --build build-fuzz --target vorpalix_fuzz_all
#   ctest --test-dir build-fuzz -L fuzz        # a few seconds per target
# Every target runs under AddressSanitizer (with leak detection) and UndefinedBehaviorSanitizer;
# any finding stops the run with a non-zero exit.

if(NOT VORPALIX_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VORPALIX_FUZZ=ON needs clang: configure with CC=clang CXX=clang++")
endif()

set(VORPALIX_FUZZ_SECONDS 5 CACHE STRING "Length of each short fuzz run in the test command")
set(VORPALIX_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

# The plug-in code once more, instrumented for coverage and the sanitizers. Of the panel only the
# layout reader is fuzzed; the window code (cairo, X11) stays out.
set(fuzzed_sources ${VORPALIX_CORE_SOURCES})
list(FILTER fuzzed_sources EXCLUDE REGEX "/src/(toolkit|editor)/")
list(APPEND fuzzed_sources ${CMAKE_SOURCE_DIR}/src/editor/GuiDescription.cpp)
add_library(vorpalix_core_fuzz STATIC ${fuzzed_sources})
target_include_directories(vorpalix_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vorpalix_core_fuzz PUBLIC PkgConfig::LIBXML2 ${CMAKE_DL_LIBS})
target_compile_options(vorpalix_core_fuzz PRIVATE -fsanitize=fuzzer-no-link ${VORPALIX_SANITIZERS})
foreach(generator IN ITEMS ${VORPALIX_WAVEFORM_TARGET} ${VORPALIX_PANELART_TARGET})
    add_dependencies(vorpalix_core_fuzz ${generator})
endforeach()

enable_testing()
add_custom_target(vorpalix_fuzz_all)
foreach(target chunk preset_files pattern_files settings gui_description)
    set(exe vorpalix_fuzz_${target})
    add_executable(${exe} ${CMAKE_SOURCE_DIR}/fuzz/${target}_fuzz.cpp
        ${CMAKE_SOURCE_DIR}/fuzz/FuzzSupport.cpp)
    target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
    target_link_libraries(${exe} PRIVATE vorpalix_core_fuzz)
    target_compile_options(${exe} PRIVATE -fsanitize=fuzzer ${VORPALIX_SANITIZERS})
    target_link_options(${exe} PRIVATE -fsanitize=fuzzer ${VORPALIX_SANITIZERS})
    set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    add_dependencies(vorpalix_fuzz_all ${exe})

    # New inputs go to the build folder; the seeds in the source tree are only read.
    set(work ${CMAKE_BINARY_DIR}/fuzz/corpus-${target})
    file(MAKE_DIRECTORY ${work})
    add_test(NAME fuzz_${target}
        COMMAND ${exe} -max_total_time=${VORPALIX_FUZZ_SECONDS} -timeout=20 -rss_limit_mb=4096
            -max_len=65536 -dict=${CMAKE_SOURCE_DIR}/fuzz/vorpalix.dict
            ${work} ${CMAKE_SOURCE_DIR}/fuzz/seeds/${target})
    set_tests_properties(fuzz_${target} PROPERTIES LABELS fuzz
        ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endforeach()
