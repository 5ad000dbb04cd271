# The strategy author's path through the installed kit, from a scratch folder: install this
# build to a prefix, move the installed tree elsewhere (it must not depend on where it was put),
# copy the template out of it, build it in two commands, and play it against the sample.
file(REMOVE_RECURSE "${WORK}")
set(first "${WORK}/first-prefix")
set(kit "${WORK}/kit")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${first}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installing the kit failed")
endif()
file(COPY "${first}/" DESTINATION "${kit}")
file(REMOVE_RECURSE "${first}")

# No text file of the kit names the build or the first prefix.
file(GLOB_RECURSE texts "${kit}/*.cmake" "${kit}/*.h" "${kit}/bin/*")
foreach(text IN LISTS texts)
    file(READ "${text}" content)
    foreach(place "${BUILD}" "${first}" "${SOURCE}")
        string(FIND "${content}" "${place}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${text} names ${place}: the kit cannot be moved")
        endif()
    endforeach()
endforeach()
foreach(file bin/touchline-match include/touchline/Toolkit.h
        share/touchline/examples/template/CMakeLists.txt share/touchline/examples/striker.c)
    if(NOT EXISTS "${kit}/${file}")
        message(FATAL_ERROR "the kit lacks ${file}")
    endif()
endforeach()

# The author's two commands, on a copy of the installed template.
file(COPY "${kit}/share/touchline/examples/template/" DESTINATION "${WORK}/mine")
execute_process(COMMAND ${CMAKE_COMMAND} -S "${WORK}/mine" -B "${WORK}/mine/build"
                        -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${kit}" -DPLAY_STEPS=300
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring the template failed:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/mine/build"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the template failed:\n${out}")
endif()
file(GLOB built "${WORK}/mine/build/*mystrategy${SUFFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} -DLIBRARY=${built}
                -P "${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the template's strategy exports more than the entry points")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/mine/build" --target play
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(replay "${WORK}/mine/build/play/replay.jsonl")
if(NOT rc EQUAL 0 OR NOT out MATCHES "Match of 300 steps" OR NOT EXISTS "${replay}")
    message(FATAL_ERROR "the play target did not play the match:\n${out}")
endif()
file(READ "${replay}" replay_text)
foreach(wanted "\"name\":\"mystrategy\"" "\"name\":\"touchline_sample\"" "mystrategy: kick-off")
    string(FIND "${replay_text}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the replay lacks ${wanted}")
    endif()
endforeach()

# Its scene test, as the author runs it.
get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
execute_process(COMMAND "${cmake_bin}/ctest" --test-dir "${WORK}/mine/build"
                        --output-on-failure
                RESULT_VARIABLE rc OUTPUT_VARIABLE tested ERROR_VARIABLE tested)
if(NOT rc EQUAL 0 OR NOT tested MATCHES "reaches-ball \\.+ +Passed"
   OR NOT EXISTS "${WORK}/mine/build/scenes/reaches-ball/replay.html")
    message(FATAL_ERROR "the template's scene test did not pass:\n${tested}")
endif()
message(STATUS "the installed template built, played and passed its scene test:\n${out}")
