# Builds a strategy the way an author's own project would: a project of C only, add_subdirectory
# of a Touchline checkout, touchline_add_strategy on one C file. Checks that the author's build
# gets the match host and the example opponents and none of Touchline's own tests or benchmarks,
# that a match plays through touchline_add_match, and that a strategy without its hooks fails to
# build with a message naming them. A cross build passes its TOOLCHAIN file and OBJDUMP, and the
# author's project is cross-built the same way (it has no host).
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/src")
file(WRITE "${WORK}/src/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)
project(MyStrategy LANGUAGES C)
enable_testing()
add_subdirectory(\"${TOUCHLINE}\" touchline)
touchline_add_strategy(mystrategy striker.c)
touchline_add_strategy(broken broken.c)
set_target_properties(broken PROPERTIES EXCLUDE_FROM_ALL ON)
if(TARGET touchline::striker AND DEFINED TOUCHLINE_MATCH)
    touchline_add_match(play HOME mystrategy AWAY touchline::striker touchline::goalkeeper
                        STEPS 40 OUT \"${WORK}/match\")
    touchline_add_scene_test(chases SCENE chases.scene STRATEGY mystrategy touchline::goalkeeper)
endif()
")
file(WRITE "${WORK}/src/chases.scene" "steps 80
ball 100 90
robot 1 home mystrategy 40 90 0
robot 2 away touchline::goalkeeper 210 90 3.1415926
expect robot 1 event hitBall by 60
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
file(WRITE "${WORK}/src/broken.c" "#include \"Toolkit.h\"
void play(void) { execute(); }
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

execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target help
                OUTPUT_VARIABLE targets)
if(targets MATCHES "(unit_|bench_|jvm_|geometry_digest|touchline_testkit)[A-Za-z_]*")
    message(FATAL_ERROR "the author's build holds Touchline's own tests: ${CMAKE_MATCH_0}")
endif()
# The opponents come with the host, which a cross build has not.
set(wanted touchline_sample)
if(NOT TOOLCHAIN)
    list(APPEND wanted touchline_striker touchline_goalkeeper touchline_host touchline_bridge)
endif()
foreach(target IN LISTS wanted)
    if(NOT targets MATCHES "[ \n]${target}[ :\n]")
        message(FATAL_ERROR "the author's build lacks ${target}")
    endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the author's project failed")
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

if(NOT TOOLCHAIN)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target play
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "Match of 40 steps" OR NOT EXISTS
       "${WORK}/match/replay.jsonl")
        message(FATAL_ERROR "the play target did not play a match:\n${out}")
    endif()
    get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
    execute_process(COMMAND "${cmake_bin}/ctest" --test-dir "${WORK}/build" --output-on-failure
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "chases \\.+ +Passed" OR out MATCHES "unit_")
        message(FATAL_ERROR "the author's scene test did not pass alone:\n${out}")
    endif()
endif()

# A strategy without initialize() and run(): the build fails and says what to define.
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target broken
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
foreach(hook initialize run)
    if(rc EQUAL 0 OR NOT out MATCHES "the strategy broken does not define ${hook}\\(\\)")
        message(FATAL_ERROR "a strategy without ${hook}() built, or without a clear message:\n${out}")
    endif()
endforeach()
if(NOT out MATCHES "void run\\(void\\)" OR NOT out MATCHES "void initialize\\(void\\)")
    message(FATAL_ERROR "the message lacks the hooks' signatures:\n${out}")
endif()
message(STATUS "the author's project built, played and refused a strategy without hooks")
