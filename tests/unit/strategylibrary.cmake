# The shipped sample library, loaded as the simulator loads it.
touchline_unit_suite(strategylibrary unit/StrategyLibraryTest.cpp)
foreach(_kind IN LISTS TOUCHLINE_TEST_VARIANTS)
    set(_variant "")
    if(_kind STREQUAL "asan")
        set(_variant "_asan")
    endif()
    target_compile_definitions(unit_strategylibrary${_variant} PRIVATE
        TOUCHLINE_SAMPLE_LIBRARY="$<TARGET_FILE:touchline_sample${_variant}>")
    add_dependencies(unit_strategylibrary${_variant} touchline_sample${_variant})
endforeach()
