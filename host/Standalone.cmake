# The standalone program `vorpalix` (JACK or ALSA audio, MIDI input, the panel in its own window,
# session management), the editor window shared by the bundled host, and their tests' needs.
# Included at the end of the root CMakeLists.txt.

pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(LIBLO REQUIRED IMPORTED_TARGET liblo)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
find_package(Threads REQUIRED)

# The bundled host reads the plug-in's state (libxml2) and embeds editors in X11 windows. The
# renderer links with --as-needed, so it depends on libX11 only if it ever opens a window.
target_link_libraries(vorpalix_host PUBLIC PkgConfig::LIBXML2 PkgConfig::X11)
target_link_options(vorpalix-render PRIVATE -Wl,--as-needed)

# host/standalone/ is the program's own code; it leaves the host library.
file(GLOB VORPALIX_STANDALONE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/standalone/*.cpp)
get_target_property(vorpalix_host_sources vorpalix_host SOURCES)
list(REMOVE_ITEM vorpalix_host_sources ${VORPALIX_STANDALONE_SOURCES})
set_target_properties(vorpalix_host PROPERTIES SOURCES "${vorpalix_host_sources}")

set(VORPALIX_STANDALONE_MAIN ${CMAKE_SOURCE_DIR}/host/standalone/StandaloneMain.cpp)
set(VORPALIX_HOST_MAIN ${CMAKE_SOURCE_DIR}/host/standalone/HostMain.cpp)
list(REMOVE_ITEM VORPALIX_STANDALONE_SOURCES ${VORPALIX_STANDALONE_MAIN} ${VORPALIX_HOST_MAIN})
add_library(vorpalix_standalone STATIC ${VORPALIX_STANDALONE_SOURCES})
target_include_directories(vorpalix_standalone PUBLIC ${CMAKE_SOURCE_DIR}/host/standalone)
target_link_libraries(vorpalix_standalone PUBLIC vorpalix_host PkgConfig::JACK PkgConfig::RTAUDIO
    PkgConfig::RTMIDI PkgConfig::LIBLO PkgConfig::ALSA Threads::Threads)
target_compile_options(vorpalix_standalone PRIVATE ${VORPALIX_WARNINGS})

add_executable(vorpalix-standalone ${VORPALIX_STANDALONE_MAIN})
target_link_libraries(vorpalix-standalone PRIVATE vorpalix_standalone)
target_compile_options(vorpalix-standalone PRIVATE ${VORPALIX_WARNINGS})
add_dependencies(vorpalix-standalone vorpalix)
set_target_properties(vorpalix-standalone PROPERTIES OUTPUT_NAME vorpalix
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
install(TARGETS vorpalix-standalone RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# vorpalix-host: the bundled host with the panel embedded in a window, audio into no device.
add_executable(vorpalix-host ${VORPALIX_HOST_MAIN})
target_link_libraries(vorpalix-host PRIVATE vorpalix_standalone)
target_compile_options(vorpalix-host PRIVATE ${VORPALIX_WARNINGS})
add_dependencies(vorpalix-host vorpalix)
set_target_properties(vorpalix-host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

if(TARGET vorpalix_tests)
    target_link_libraries(vorpalix_tests PRIVATE vorpalix_standalone)
    target_compile_definitions(vorpalix_tests PRIVATE
        VORPALIX_STANDALONE_PATH="${CMAKE_BINARY_DIR}/vorpalix"
        VORPALIX_BUILD_DIR="${CMAKE_BINARY_DIR}"
        VORPALIX_CMAKE_COMMAND="${CMAKE_COMMAND}")
    add_dependencies(vorpalix_tests vorpalix-standalone vorpalix-host)
    target_compile_definitions(vorpalix_tests PRIVATE
        VORPALIX_HOST_PATH="${CMAKE_BINARY_DIR}/vorpalix-host")
endif()
