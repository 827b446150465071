# The hi-hat and cymbal waveforms are generated at build time by a small deterministic program
# and embedded as the resources "ch", "oh", "cr" and "rd" (8-bit, played at 31200 Hz).
# Included from the top-level CMakeLists before the resource table is built.

add_executable(vorpalix_generate_waveforms ${CMAKE_CURRENT_LIST_DIR}/generate_waveforms.cpp)
target_include_directories(vorpalix_generate_waveforms PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(vorpalix_generate_waveforms PRIVATE ${VORPALIX_WARNINGS})

set(_vorpalix_waveform_dir ${CMAKE_BINARY_DIR}/generated)
set(_vorpalix_waveform_files "")
foreach(_name IN ITEMS ch oh cr rd)
    list(APPEND _vorpalix_waveform_files ${_vorpalix_waveform_dir}/${_name}.raw)
    list(APPEND VORPALIX_RESOURCES "${_name}=${_vorpalix_waveform_dir}/${_name}.raw")
endforeach()

add_custom_command(
    OUTPUT ${_vorpalix_waveform_files}
    COMMAND vorpalix_generate_waveforms ${_vorpalix_waveform_dir}
    DEPENDS vorpalix_generate_waveforms
    COMMENT "Generating the hi-hat and cymbal waveforms"
    VERBATIM)
add_custom_target(vorpalix_waveforms DEPENDS ${_vorpalix_waveform_files})

set(VORPALIX_WAVEFORM_TARGET vorpalix_waveforms)
list(APPEND VORPALIX_RESOURCE_DEPENDS ${_vorpalix_waveform_files})

# The unit tests run the generator themselves (twice, to prove it deterministic); the test target
# is defined later in the including file, so this is wired at the end of the directory.
function(_vorpalix_wire_waveform_tests)
    if(TARGET vorpalix_tests)
        target_compile_definitions(vorpalix_tests PRIVATE
            VORPALIX_WAVEFORM_GENERATOR="$<TARGET_FILE:vorpalix_generate_waveforms>")
        add_dependencies(vorpalix_tests vorpalix_generate_waveforms)
    endif()
endfunction()
cmake_language(DEFER CALL _vorpalix_wire_waveform_tests)
