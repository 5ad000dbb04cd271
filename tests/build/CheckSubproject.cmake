# Builds a strategy the way an author's own project would: add_subdirectory of a Touchline
# checkout, then touchline_add_strategy on one C file.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/src")
file(WRITE "${WORK}/src/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)
project(MyStrategy LANGUAGES C CXX)
add_subdirectory(\"${TOUCHLINE}\" touchline)
touchline_add_strategy(mystrategy striker.c)
")
file(WRITE "${WORK}/src/striker.c" "#include \"Toolkit.h\"
void initialize(void) {}
void run(void) {
    for (;;) {
        setMoveTo(getBallX(), getBallY());
        execute();
    }
}
")
execute_process(COMMAND ${CMAKE_COMMAND} -S "${WORK}/src" -B "${WORK}/build" -G "${GENERATOR}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring the author's project failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target mystrategy
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the author's strategy failed")
endif()
file(GLOB built "${WORK}/build/*mystrategy*")
if(NOT built)
    message(FATAL_ERROR "no strategy library was built")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -DLIBRARY=${built}
                -P "${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the author's strategy exports more than the entry points")
endif()
