# touchline_add_strategy(<target> <source>...)
#
# Builds a strategy library: the strategy's sources (which define initialize() and run())
# linked with the whole toolkit. The library exports exactly adapterInit, adapterRun and
# adapterClearup; everything else stays private to it, so two loaded copies share nothing.
#
# On Windows the library is a DLL named <target>.dll whose three exports carry plain names
# (no leading underscore, no @N), with the C and C++ runtimes linked in, so it needs nothing
# but system DLLs; win32/OwnUnwindTables.cpp keeps its exceptions working next to other GCC-built
# DLLs. Every strategy target is listed in the global property TOUCHLINE_STRATEGIES.
function(touchline_add_strategy target)
    # Paths from this file's folder: the caller may be another project's scope.
    set(TOUCHLINE_STRATEGY_MAP "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/strategy.map")
    set(TOUCHLINE_STRATEGY_DEF "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/strategy.def")
    if(NOT ARGN)
        message(FATAL_ERROR "touchline_add_strategy(${target}): no sources given")
    endif()
    add_library(${target} SHARED ${ARGN})
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,touchline::toolkit>")
    set_target_properties(${target} PROPERTIES
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    # Host exceptions unwind through strategy code, C included.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C>:-fexceptions>)
    if(WIN32)
        # The .def file alone decides the export table: the entry points' dllexport marks
        # would otherwise add nothing, and the toolkit's functions are never exported.
        target_sources(${target} PRIVATE "${TOUCHLINE_STRATEGY_DEF}"
                       "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/win32/OwnUnwindTables.cpp")
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
