# The strategy toolkit: geometry is stateless and linked directly; the world queries and the
# motion helpers run inside fresh probe copies, and the player suite plays the sample library.
touchline_unit_suite(geometry unit/GeometryTest.cpp LINK_TOOLKIT)
touchline_unit_suite(queries unit/QueryTest.cpp)
touchline_unit_suite(motion unit/MotionTest.cpp)
touchline_unit_suite(player unit/PlayerTest.cpp)

# The sanitized player suite plays a sample built on the sanitized toolkit (not on Windows).
if("asan" IN_LIST TOUCHLINE_TEST_VARIANTS)
    add_library(touchline_sample_asan SHARED
        ${TOUCHLINE_SOURCE_DIR}/src/player/Brevane.cpp
        ${TOUCHLINE_SOURCE_DIR}/src/player/Initialize.cpp)
    target_link_libraries(touchline_sample_asan PRIVATE
        "$<LINK_LIBRARY:WHOLE_ARCHIVE,touchline_toolkit_asan>")
    set_target_properties(touchline_sample_asan PROPERTIES
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_compile_options(touchline_sample_asan PRIVATE ${TOUCHLINE_WARNINGS}
                           ${TOUCHLINE_SANITIZE})
    target_link_options(touchline_sample_asan PRIVATE
        "LINKER:--version-script=${TOUCHLINE_SOURCE_DIR}/cmake/strategy.map")
endif()

touchline_suite_loads_sample(player)
