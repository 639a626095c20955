# Helpers that declare the project's libraries.
#
# A "core" library holds logic and drawing on QImage surfaces and must never
# link Qt Widgets, directly or through another library; "widgets" libraries
# hold windows and dialogs. talq_check_core_targets() enforces the rule.
#
# Every library and program also belongs to the layer of its folder
# (TalqLayers.cmake); talq_check_layers() fails the configuration when one
# links a library of a layer it may not use.

include(${CMAKE_CURRENT_LIST_DIR}/TalqLayers.cmake)

set(TALQ_WARNINGS -Wall -Wextra)
set_property(GLOBAL PROPERTY TALQ_CORE_TARGETS "")
set_property(GLOBAL PROPERTY TALQ_WIDGETS_TARGETS "")
set_property(GLOBAL PROPERTY TALQ_LAYERED_TARGETS "")

# Puts a target in a layer; the folder's layer when none is given.
function(talq_declare_layer name)
    if(ARGC GREATER 1)
        set(layer ${ARGV1})
    else()
        file(RELATIVE_PATH dir ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
        talq_layer_of_path("${dir}/" layer)
    endif()
    if(layer)
        set_property(TARGET ${name} PROPERTY TALQ_LAYER ${layer})
        set_property(GLOBAL APPEND PROPERTY TALQ_LAYERED_TARGETS ${name})
    endif()
endfunction()

function(talq_core_library name)
    add_library(${name} STATIC ${ARGN})
    target_compile_options(${name} PRIVATE ${TALQ_WARNINGS})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    set_property(GLOBAL APPEND PROPERTY TALQ_CORE_TARGETS ${name})
    talq_declare_layer(${name})
endfunction()

function(talq_widgets_library name)
    add_library(${name} STATIC ${ARGN})
    target_compile_options(${name} PRIVATE ${TALQ_WARNINGS})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
    set_property(GLOBAL APPEND PROPERTY TALQ_WIDGETS_TARGETS ${name})
    talq_declare_layer(${name})
endfunction()

function(talq_executable name)
    add_executable(${name} ${ARGN})
    target_compile_options(${name} PRIVATE ${TALQ_WARNINGS})
    talq_declare_layer(${name})
endfunction()

# The libraries one link entry names. A generator expression
# ($<BUILD_INTERFACE:x>, $<LINK_ONLY:x>, $<$<CONFIG:Debug>:x>) counts as a
# link to every target it names, whatever its condition.
function(_talq_link_names entry out)
    if(NOT entry MATCHES "^\\$<")
        set(${out} ${entry} PARENT_SCOPE)
        return()
    endif()
    string(REPLACE "::" "@@" flat "${entry}")
    string(REGEX REPLACE "[$<>:,]" ";" parts "${flat}")
    set(names "")
    foreach(part IN LISTS parts)
        string(REPLACE "@@" "::" part "${part}")
        if(part AND TARGET ${part})
            list(APPEND names ${part})
        endif()
    endforeach()
    set(${out} ${names} PARENT_SCOPE)
endfunction()

function(_talq_collect_links target out)
    set(result "")
    foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(libs ${target} ${prop})
        if(libs)
            foreach(lib IN LISTS libs)
                _talq_link_names("${lib}" names)
                list(APPEND result ${names})
            endforeach()
        endif()
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

function(_talq_assert_no_widgets root target seen)
    _talq_collect_links(${target} libs)
    get_property(widget_targets GLOBAL PROPERTY TALQ_WIDGETS_TARGETS)
    foreach(lib IN LISTS libs)
        if(lib STREQUAL "Qt6::Widgets" OR lib STREQUAL "Qt::Widgets" OR lib IN_LIST widget_targets)
            message(FATAL_ERROR "core library ${root} links ${lib} (through ${target}); "
                                "move the widget code into a widgets library")
        endif()
        if(TARGET ${lib} AND NOT lib MATCHES "^Qt" AND NOT lib IN_LIST seen)
            list(APPEND seen ${lib})
            _talq_assert_no_widgets(${root} ${lib} "${seen}")
        endif()
    endforeach()
endfunction()

function(talq_check_core_targets)
    get_property(core GLOBAL PROPERTY TALQ_CORE_TARGETS)
    foreach(target IN LISTS core)
        _talq_assert_no_widgets(${target} ${target} "")
    endforeach()
endfunction()

function(talq_check_layers)
    get_property(targets GLOBAL PROPERTY TALQ_LAYERED_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(from ${target} TALQ_LAYER)
        _talq_collect_links(${target} libs)
        foreach(lib IN LISTS libs)
            if(NOT TARGET ${lib})
                continue()
            endif()
            get_target_property(to ${lib} TALQ_LAYER)
            if(NOT to)
                continue()
            endif()
            talq_layer_allows(${from} ${to} ok)
            if(NOT ok)
                message(FATAL_ERROR "${target} (layer ${from}) links ${lib} (layer ${to}); "
                                    "a layer may use only the layers below it (cmake/TalqLayers.cmake)")
            endif()
        endforeach()
    endforeach()
endfunction()
