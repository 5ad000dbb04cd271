# Builds a strategy the way an author's own project would: add_subdirectory of a Touchline
# checkout, then touchline_add_strategy on one C file. A cross build passes its TOOLCHAIN file
# and OBJDUMP, and the author's project is cross-built the same way.
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
set(configure_args)
if(TOOLCHAIN)
    list(APPEND configure_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
endif()
if(JDK_HOME)
    list(APPEND configure_args "-DTOUCHLINE_JDK_HOME=${JDK_HOME}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S "${WORK}/src" -B "${WORK}/build" -G "${GENERATOR}"
                        ${configure_args}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring the author's project failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target mystrategy
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the author's strategy failed")
endif()
file(GLOB built "${WORK}/build/*mystrategy${SUFFIX}")
if(NOT built)
    message(FATAL_ERROR "no strategy library was built")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -DLIBRARY=${built} -DOBJDUMP=${OBJDUMP}
                -P "${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the author's strategy exports more than the entry points")
endif()
