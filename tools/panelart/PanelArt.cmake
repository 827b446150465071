# The panel art is drawn at build time by a deterministic program from the GUI element of the
# settings document and embedded as the resources "bitmap<id>" (PNG files): the background
# "bitmap100", every bitmap id that a control of the layout names, and the bitmaps of the preset
# browser and the About box, which the editor lays out itself.
# Included from the top-level CMakeLists before the resource table is built.

find_package(PkgConfig REQUIRED)
pkg_check_modules(VORPALIX_PANELART_CAIRO REQUIRED IMPORTED_TARGET cairo)

add_executable(vorpalix-panelart
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Art.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Controls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Draw.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Panels.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Preview.cpp)
target_link_libraries(vorpalix-panelart PRIVATE PkgConfig::VORPALIX_PANELART_CAIRO PkgConfig::LIBXML2)
target_compile_options(vorpalix-panelart PRIVATE ${VORPALIX_WARNINGS})
set_target_properties(vorpalix-panelart PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The ids come from the layout itself, so a new control's bitmap is embedded without a second
# list to keep; the overlay panels' ids are the editor's own.
set(_vorpalix_settings ${CMAKE_SOURCE_DIR}/src/resources/settings.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_vorpalix_settings})
file(READ ${_vorpalix_settings} _vorpalix_settings_text)
string(REGEX MATCHALL "resID=\"[0-9]+\"" _vorpalix_res_attrs "${_vorpalix_settings_text}")
set(_vorpalix_bitmap_ids 100 752 760 912 913 914 915 920 921 922 930 931 932 933 934 935 936 937
    938 939 940)
foreach(_attr IN LISTS _vorpalix_res_attrs)
    string(REGEX REPLACE "[^0-9]" "" _id "${_attr}")
    list(APPEND _vorpalix_bitmap_ids ${_id})
endforeach()
list(REMOVE_DUPLICATES _vorpalix_bitmap_ids)
list(SORT _vorpalix_bitmap_ids COMPARE NATURAL)

set(_vorpalix_art_dir ${CMAKE_BINARY_DIR}/generated/panelart)
set(_vorpalix_art_files "")
foreach(_id IN LISTS _vorpalix_bitmap_ids)
    list(APPEND _vorpalix_art_files ${_vorpalix_art_dir}/bitmap${_id}.png)
    list(APPEND VORPALIX_RESOURCES "bitmap${_id}=${_vorpalix_art_dir}/bitmap${_id}.png")
endforeach()

add_custom_command(
    OUTPUT ${_vorpalix_art_files}
    COMMAND vorpalix-panelart ${_vorpalix_settings} ${_vorpalix_art_dir}
    DEPENDS vorpalix-panelart ${_vorpalix_settings}
    COMMENT "Drawing the panel art"
    VERBATIM)
add_custom_target(vorpalix_panelart DEPENDS ${_vorpalix_art_files})
list(APPEND VORPALIX_RESOURCE_DEPENDS ${_vorpalix_art_files})
set(VORPALIX_PANELART_TARGET vorpalix_panelart)

# The tests run the generator themselves (twice, to prove it deterministic).
function(_vorpalix_wire_panelart_tests)
    if(TARGET vorpalix_tests)
        target_compile_definitions(vorpalix_tests PRIVATE
            VORPALIX_PANELART_GENERATOR="$<TARGET_FILE:vorpalix-panelart>")
        add_dependencies(vorpalix_tests vorpalix-panelart)
        # The tests decode the embedded PNG files to look at their frames.
        target_link_libraries(vorpalix_tests PRIVATE PkgConfig::VORPALIX_PANELART_CAIRO)
    endif()
endfunction()
cmake_language(DEFER CALL _vorpalix_wire_panelart_tests)
