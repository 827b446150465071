# The plug-in's code as one static library per folder, each with the folders it may use
# declared. A library compiles with the headers of its own folder and of the layers below it
# only: every folder is seen through a view (build/layers/<layer>/<folder> -> src/<folder>), and
# a library's include path holds its own view and, through its dependencies, theirs. An include
# that runs upward therefore does not build.
#
#   resources <- dsp <- xml (the XML helper, state/XmlDocument) <- sequencer, presets
#             <- state (parameter table, controller map, settings document, chunk)
#             <- plugin <- editor (and the toolkit below the editor, when present)
#
# scripts/check-layers.sh checks the same rules on the sources (a test of the test command).

set(VORPALIX_LAYER_VIEWS ${CMAKE_BINARY_DIR}/layers)
set(VORPALIX_CORE_SOURCES "")

# vorpalix_layer(<name> FOLDER <folder> [FILES <relative files>] [EXCLUDE <relative files>]
#                [DEPENDS <layers>] [LINK <libraries>] [EXTRA <sources>])
# Makes library vorpalix_<name> from the .cpp files of src/<folder> (or only FILES), and its view.
function(vorpalix_layer name)
    cmake_parse_arguments(L "" "FOLDER" "FILES;EXCLUDE;DEPENDS;LINK;EXTRA" ${ARGN})
    set(dir ${CMAKE_SOURCE_DIR}/src/${L_FOLDER})
    set(view ${VORPALIX_LAYER_VIEWS}/${name})
    if(L_FILES)
        set(sources "")
        foreach(file IN LISTS L_FILES)
            if(file MATCHES "\\.cpp$")
                list(APPEND sources ${dir}/${file})
            endif()
            file(MAKE_DIRECTORY ${view}/${L_FOLDER})
            file(CREATE_LINK ${dir}/${file} ${view}/${L_FOLDER}/${file} SYMBOLIC)
        endforeach()
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
        foreach(file IN LISTS L_EXCLUDE)
            list(REMOVE_ITEM sources ${dir}/${file})
        endforeach()
        file(MAKE_DIRECTORY ${view})
        file(CREATE_LINK ${dir} ${view}/${L_FOLDER} SYMBOLIC)
    endif()
    add_library(vorpalix_${name} STATIC ${sources} ${L_EXTRA})
    target_include_directories(vorpalix_${name} PUBLIC ${view})
    foreach(dep IN LISTS L_DEPENDS)
        target_link_libraries(vorpalix_${name} PUBLIC vorpalix_${dep})
    endforeach()
    target_link_libraries(vorpalix_${name} PUBLIC ${L_LINK})
    target_compile_options(vorpalix_${name} PRIVATE ${VORPALIX_WARNINGS})
    set_target_properties(vorpalix_${name} PROPERTIES
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    set(VORPALIX_CORE_SOURCES ${VORPALIX_CORE_SOURCES} ${sources} ${L_EXTRA} PARENT_SCOPE)
endfunction()

vorpalix_layer(resources FOLDER resources EXTRA ${CMAKE_BINARY_DIR}/generated/EmbeddedData.cpp)
if(VORPALIX_WAVEFORM_TARGET)
    add_dependencies(vorpalix_resources ${VORPALIX_WAVEFORM_TARGET})
endif()
vorpalix_layer(dsp FOLDER dsp DEPENDS resources)
vorpalix_layer(xml FOLDER state FILES XmlDocument.h XmlDocument.cpp DEPENDS resources
    LINK PkgConfig::LIBXML2)
vorpalix_layer(sequencer FOLDER sequencer DEPENDS dsp xml)
vorpalix_layer(presets FOLDER presets DEPENDS dsp xml)
vorpalix_layer(state FOLDER state EXCLUDE XmlDocument.cpp DEPENDS sequencer presets xml dsp)
vorpalix_layer(plugin FOLDER plugin EXCLUDE VstEntry.cpp DEPENDS state sequencer presets dsp
    LINK ${CMAKE_DL_LIBS})

# The widget toolkit (below the editor, knowing nothing of the plug-in) and the editor's custom
# controls come from their own file when present: it defines vorpalix_toolkit and may define
# vorpalix_editor_controls from sources in src/editor/, which the editor library then leaves to
# it.
include(${CMAKE_SOURCE_DIR}/src/toolkit/Toolkit.cmake OPTIONAL)
set(editor_exclude "")
set(editor_link "")
foreach(lib vorpalix_toolkit vorpalix_editor_controls)
    if(TARGET ${lib})
        list(APPEND editor_link ${lib})
        get_target_property(lib_sources ${lib} SOURCES)
        foreach(source IN LISTS lib_sources)
            get_filename_component(source_name ${source} NAME)
            get_filename_component(source_dir ${source} DIRECTORY)
            if(source_dir STREQUAL "${CMAKE_SOURCE_DIR}/src/editor")
                list(APPEND editor_exclude ${source_name})
            endif()
        endforeach()
    endif()
endforeach()
vorpalix_layer(editor FOLDER editor EXCLUDE ${editor_exclude} DEPENDS plugin
    LINK ${editor_link})
