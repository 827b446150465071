# The widget toolkit (cairo drawing, X11 and headless windows) and the editor's own controls
# built on it. Included from the root CMakeLists.txt; the root keeps these sources out of
# vorpalix_core.
pkg_check_modules(VORPALIX_CAIRO_X11 REQUIRED IMPORTED_TARGET cairo cairo-xlib x11)

file(GLOB VORPALIX_TOOLKIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/toolkit/*.cpp)
add_library(vorpalix_toolkit STATIC ${VORPALIX_TOOLKIT_SOURCES})
target_include_directories(vorpalix_toolkit PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vorpalix_toolkit PUBLIC PkgConfig::VORPALIX_CAIRO_X11)
target_compile_options(vorpalix_toolkit PRIVATE ${VORPALIX_WARNINGS})
set_target_properties(vorpalix_toolkit PROPERTIES CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

set(VORPALIX_EDITOR_CONTROL_SOURCES
    ${CMAKE_SOURCE_DIR}/src/editor/NStateButton.cpp
    ${CMAKE_SOURCE_DIR}/src/editor/ExMovieBitmap.cpp
    ${CMAKE_SOURCE_DIR}/src/editor/BitmapDisplay.cpp)
add_library(vorpalix_editor_controls STATIC ${VORPALIX_EDITOR_CONTROL_SOURCES})
target_link_libraries(vorpalix_editor_controls PUBLIC vorpalix_toolkit)
target_compile_options(vorpalix_editor_controls PRIVATE ${VORPALIX_WARNINGS})
set_target_properties(vorpalix_editor_controls PROPERTIES CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
