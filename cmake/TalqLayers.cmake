# The subsystem layers, lowest first. A library, and a source file, may use
# its own layer and the layers below it; the layers of one rank
# (annotations, navigation, printing) do not use each other. The stand-in
# document server stands apart: of the client it uses only the platform
# layer and the wire codec. Shared by the check of the libraries' links
# (TalqTargets.cmake) and the check of the includes (CheckIncludeLayers.cmake).

set(TALQ_LAYER_RANK_platform 0)
set(TALQ_LAYER_RANK_wire 0)
set(TALQ_LAYER_RANK_foundation 1)
set(TALQ_LAYER_RANK_server 2)
set(TALQ_LAYER_RANK_render 3)
set(TALQ_LAYER_RANK_annotations 4)
set(TALQ_LAYER_RANK_navigation 4)
set(TALQ_LAYER_RANK_printing 4)
set(TALQ_LAYER_RANK_viewer 5)
set(TALQ_LAYER_RANK_app 6)

# The wire codec lives beside the session but is a layer of its own.
set(TALQ_WIRE_HEADERS "server/request_frame.h")

# talq_layer_allows(<from> <to> <result-var>)
function(talq_layer_allows from to out)
    set(ok FALSE)
    if(from STREQUAL to)
        set(ok TRUE)
    elseif(from STREQUAL "docserver")
        if(to STREQUAL "platform" OR to STREQUAL "wire")
            set(ok TRUE)
        endif()
    elseif(NOT to STREQUAL "docserver" AND DEFINED TALQ_LAYER_RANK_${from}
           AND DEFINED TALQ_LAYER_RANK_${to})
        if(TALQ_LAYER_RANK_${to} LESS TALQ_LAYER_RANK_${from})
            set(ok TRUE)
        endif()
    endif()
    set(${out} ${ok} PARENT_SCOPE)
endfunction()

# The layer of a path below the project's root: src/<layer>/... or
# docserver/...; empty for every other place.
function(talq_layer_of_path path out)
    set(layer "")
    if(path MATCHES "^src/([^/]+)/")
        if(DEFINED TALQ_LAYER_RANK_${CMAKE_MATCH_1})
            set(layer ${CMAKE_MATCH_1})
        endif()
    elseif(path MATCHES "^docserver/")
        set(layer docserver)
    endif()
    set(${out} ${layer} PARENT_SCOPE)
endfunction()
