# touchline_add_strategy(<target> <source>...)
#
# Builds a strategy library: the strategy's sources (which define initialize() and run())
# linked with the whole toolkit. The library exports exactly adapterInit, adapterRun and
# adapterClearup; everything else stays private to it, so two loaded copies share nothing.
#
# The toolkit is C++: a project that declared only C gets C++ enabled here. A strategy that
# lacks initialize() or run() fails to link with a message naming the function to define.
#
# On Windows the library is a DLL named <target>.dll whose three exports carry plain names
# (no leading underscore, no @N), with the C and C++ runtimes linked in, so it needs nothing
# but system DLLs; win32/OwnUnwindTables.cpp keeps its exceptions working next to other GCC-built
# DLLs. Every strategy target is listed in the global property TOUCHLINE_STRATEGIES.
#
# touchline_add_match(<target> HOME <strategy>... AWAY <strategy>... [STEPS n] [SEED n]
#                     [OUT dir] [ARGS <more touchline-match options>...])
#
# A custom target that plays a match with touchline-match when built. A strategy is a target
# (built first) or a library file. OUT defaults to <build dir>/<target>.
#
# touchline_add_scene_test(<name> SCENE <file> [STRATEGY <strategy>...] [ARGS <options>...])
#
# A CTest test that plays a scene file with touchline-match --scene and fails when one of its
# expectations does not hold (or the scene cannot be played). In the scene, a robot's library
# may be one of the STRATEGY entries: a target by its name (mystrategy, touchline::sample) or
# NAME=FILE; other libraries are paths relative to the scene file. The replay goes to
# <build dir>/scenes/<name>/ (replay.html to watch it); a failing test prints where it is.
# Call enable_testing() (or include(CTest)) in your top CMakeLists.txt to run it with ctest.

# A macro, so that enabling C++ reaches the directory that declares the strategy: a project of
# C only (project(X LANGUAGES C)) otherwise fails with "No known features for CXX compiler".
macro(touchline_add_strategy)
    if(NOT CMAKE_CXX_COMPILER_LOADED)
        if(CMAKE_CURRENT_FUNCTION)
            message(FATAL_ERROR "touchline_add_strategy: the toolkit is C++; add CXX to your "
                                "project's languages: project(<name> LANGUAGES C CXX)")
        endif()
        enable_language(CXX)
    endif()
    _touchline_add_strategy(${ARGV})
endmacro()

function(_touchline_add_strategy target)
    # Paths from this file's folder: the caller may be another project's scope.
    set(_TOUCHLINE_CMAKE_DIR "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
    set(TOUCHLINE_STRATEGY_MAP "${_TOUCHLINE_CMAKE_DIR}/strategy.map")
    set(TOUCHLINE_STRATEGY_DEF "${_TOUCHLINE_CMAKE_DIR}/strategy.def")
    if(NOT ARGN)
        message(FATAL_ERROR "touchline_add_strategy(${target}): no sources given")
    endif()
    add_library(${target} SHARED ${ARGN})
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,touchline::toolkit>")
    set_target_properties(${target} PROPERTIES
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    # The link runs through TouchlineLink.cmake, which explains a missing hook in plain words.
    set(launcher "${CMAKE_COMMAND}" "-DTOUCHLINE_TARGET=${target}"
                 -P "${_TOUCHLINE_CMAKE_DIR}/TouchlineLink.cmake" --)
    set_target_properties(${target} PROPERTIES
        C_LINKER_LAUNCHER "${launcher}" CXX_LINKER_LAUNCHER "${launcher}")
    # Host exceptions unwind through strategy code, C included.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C>:-fexceptions>)
    if(WIN32)
        # The .def file alone decides the export table: the entry points' dllexport marks
        # would otherwise add nothing, and the toolkit's functions are never exported.
        target_sources(${target} PRIVATE "${TOUCHLINE_STRATEGY_DEF}"
                       "${_TOUCHLINE_CMAKE_DIR}/win32/OwnUnwindTables.cpp")
        set_target_properties(${target} PROPERTIES PREFIX "")
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                            "LINKER:--no-undefined")
    else()
        target_link_options(${target} PRIVATE
            "LINKER:--version-script=${TOUCHLINE_STRATEGY_MAP}" "LINKER:--no-undefined")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${TOUCHLINE_STRATEGY_MAP}")
    endif()
    set_property(GLOBAL APPEND PROPERTY TOUCHLINE_STRATEGIES ${target})
endfunction()

function(touchline_add_match target)
    cmake_parse_arguments(PARSE_ARGV 1 MATCH "" "STEPS;SEED;OUT" "HOME;AWAY;ARGS")
    if(NOT MATCH_HOME OR NOT MATCH_AWAY)
        message(FATAL_ERROR "touchline_add_match(${target}): name the HOME and AWAY strategies")
    endif()
    get_property(match GLOBAL PROPERTY TOUCHLINE_MATCH)
    get_property(match_deps GLOBAL PROPERTY TOUCHLINE_MATCH_DEPENDS)
    if(NOT match)
        message(FATAL_ERROR "touchline_add_match(${target}): this Touchline has no match host "
                            "(it needs JDK 17 and TOUCHLINE_BUILD_HOST=ON)")
    endif()
    if(NOT MATCH_OUT)
        set(MATCH_OUT "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    endif()
    set(command "${match}")
    set(deps ${match_deps})
    foreach(side HOME AWAY)
        string(TOLOWER "--${side}" option)
        list(APPEND command "${option}")
        foreach(strategy IN LISTS MATCH_${side})
            if(TARGET "${strategy}")
                list(APPEND command "$<TARGET_FILE:${strategy}>")
                # Built here (an imported one is already there): build it before playing.
                get_target_property(imported "${strategy}" IMPORTED)
                get_target_property(aliased "${strategy}" ALIASED_TARGET)
                if(aliased)
                    list(APPEND deps "${aliased}")
                elseif(NOT imported)
                    list(APPEND deps "${strategy}")
                endif()
            else()
                list(APPEND command "${strategy}")
            endif()
        endforeach()
    endforeach()
    foreach(option STEPS SEED)
        if(DEFINED MATCH_${option})
            string(TOLOWER "--${option}" name)
            list(APPEND command "${name}" "${MATCH_${option}}")
        endif()
    endforeach()
    list(APPEND command --out "${MATCH_OUT}" ${MATCH_ARGS})
    add_custom_target(${target} COMMAND ${command}
        COMMENT "Playing a match; the replay goes to ${MATCH_OUT}"
        USES_TERMINAL VERBATIM)
    if(deps)
        add_dependencies(${target} ${deps})
    endif()
endfunction()

function(touchline_add_scene_test name)
    cmake_parse_arguments(PARSE_ARGV 1 SCENE "" "SCENE" "STRATEGY;ARGS")
    if(NOT SCENE_SCENE)
        message(FATAL_ERROR "touchline_add_scene_test(${name}): give the SCENE file")
    endif()
    get_property(match GLOBAL PROPERTY TOUCHLINE_MATCH)
    if(NOT match)
        message(FATAL_ERROR "touchline_add_scene_test(${name}): this Touchline has no match "
                            "host (it needs JDK 17 and TOUCHLINE_BUILD_HOST=ON)")
    endif()
    get_filename_component(scene "${SCENE_SCENE}" ABSOLUTE)
    set(command "${match}" --scene "${scene}")
    foreach(strategy IN LISTS SCENE_STRATEGY)
        if(TARGET "${strategy}")
            list(APPEND command --strategy "${strategy}=$<TARGET_FILE:${strategy}>")
        elseif(strategy MATCHES "^[^=]+=.+$")
            list(APPEND command --strategy "${strategy}")
        else()
            message(FATAL_ERROR "touchline_add_scene_test(${name}): STRATEGY ${strategy} is "
                                "neither a target nor NAME=FILE")
        endif()
    endforeach()
    list(APPEND command --out "${CMAKE_CURRENT_BINARY_DIR}/scenes/${name}" ${SCENE_ARGS})
    add_test(NAME ${name} COMMAND ${command})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
