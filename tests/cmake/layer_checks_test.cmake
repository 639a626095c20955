# The layer checks catch an upward use however it is written.
# Run as: cmake -DROOT=<project root> -DWORK=<scratch folder> -P layer_checks_test.cmake
cmake_minimum_required(VERSION 3.25)
set(failures "")

# Notes a case whose check passed what it should refuse ("up") or refused
# what it should pass ("ok").
macro(_check_outcome what expect rc)
    if((${expect} STREQUAL "up" AND ${rc} EQUAL 0) OR (${expect} STREQUAL "ok" AND NOT ${rc} EQUAL 0))
        list(APPEND failures "${what}: expected ${expect}, the check gave ${rc}")
    endif()
endmacro()

# --- Includes: each case is a platform source's line; "up" must be refused.
set(include_cases
    "up|#include \"viewer/a.h\""
    "up|#include <viewer/a.h>"
    "up|  #include \"viewer/a.h\""
    "up|#  include \"viewer/a.h\""
    "up|\t#include<viewer/a.h>"
    "up|#include \"../viewer/a.h\""
    "up|#include \"../../src/viewer/a.h\""
    "ok|#include \"platform/b.h\""
    "ok|#include \"b.h\""
    "ok|#include <string>"
    "ok|// #include \"viewer/a.h\"")
set(index 0)
foreach(case IN LISTS include_cases)
    string(REPLACE "\\t" "\t" case "${case}")
    string(REGEX MATCH "^[a-z]+" expect "${case}")
    string(REGEX REPLACE "^[a-z]+\\|" "" line "${case}")
    set(tree ${WORK}/includes-${index})
    math(EXPR index "${index} + 1")
    file(REMOVE_RECURSE ${tree})
    file(WRITE ${tree}/src/viewer/a.h "#pragma once\n")
    file(WRITE ${tree}/src/platform/b.h "#pragma once\n")
    file(WRITE ${tree}/src/platform/c.cpp "${line}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree}
                            -P ${ROOT}/cmake/CheckIncludeLayers.cmake
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    _check_outcome("include '${line}'" ${expect} ${rc})
endforeach()

# --- Links: a platform library linking a viewer one, each way of writing it.
set(link_cases
    "up|viewer_lib"
    "up|$<BUILD_INTERFACE:viewer_lib>"
    "up|$<LINK_ONLY:viewer_lib>"
    "up|$<$<CONFIG:Debug>:viewer_lib>"
    "ok|$<BUILD_INTERFACE:other_lib>"
    "ok|other_lib")
set(index 0)
foreach(case IN LISTS link_cases)
    string(REGEX MATCH "^[a-z]+" expect "${case}")
    string(REGEX REPLACE "^[a-z]+\\|" "" link "${case}")
    set(project ${WORK}/links-${index})
    math(EXPR index "${index} + 1")
    file(REMOVE_RECURSE ${project})
    file(WRITE ${project}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(links LANGUAGES NONE)
include(${ROOT}/cmake/TalqTargets.cmake)
add_library(viewer_lib INTERFACE)
talq_declare_layer(viewer_lib viewer)
add_library(other_lib INTERFACE)
talq_declare_layer(other_lib platform)
add_library(platform_lib INTERFACE)
talq_declare_layer(platform_lib platform)
target_link_libraries(platform_lib INTERFACE \"${link}\")
talq_check_layers()
")
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${project} -B ${project}/build
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    _check_outcome("link '${link}'" ${expect} ${rc})
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "layer checks let these through or refused them wrongly:\n  ${text}")
endif()
