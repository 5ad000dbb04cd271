# The strategy author's path through the installed kit, from a scratch folder: install this
# build to a prefix, move the installed tree elsewhere (it must not depend on where it was put),
# read its documentation and manual pages, copy the template out of it, build it in two
# commands and play it against the sample; then make a project with touchline-new, which finds
# the kit by itself, builds, plays and passes its scene test.
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
file(GLOB_RECURSE texts "${kit}/*.cmake" "${kit}/*.h" "${kit}/bin/*" "${kit}/share/doc/*"
     "${kit}/share/man/*")
foreach(text IN LISTS texts)
    file(READ "${text}" content)
    foreach(place "${BUILD}" "${first}" "${SOURCE}")
        string(FIND "${content}" "${place}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${text} names ${place}: the kit cannot be moved")
        endif()
    endforeach()
endforeach()
foreach(file bin/touchline-match bin/touchline-new include/touchline/Toolkit.h
        share/touchline/examples/template/CMakeLists.txt share/touchline/examples/striker.c
        share/man/man1/touchline-match.1 share/man/man1/touchline-tournament.1)
    if(NOT EXISTS "${kit}/${file}")
        message(FATAL_ERROR "the kit lacks ${file}")
    endif()
endforeach()

# The documentation, as Markdown and HTML; every file a page links to or shows is in the kit.
set(doc "${kit}/share/doc/touchline")
foreach(page strategy-guide host tournaments)
    if(NOT EXISTS "${doc}/${page}.md" OR NOT EXISTS "${doc}/${page}.html")
        message(FATAL_ERROR "the kit lacks ${page}.md or ${page}.html in ${doc}")
    endif()
    file(READ "${doc}/${page}.html" html)
    if(NOT html MATCHES "<title>[^<]+ - Touchline</title>" OR NOT html MATCHES "<table>")
        message(FATAL_ERROR "${page}.html is not the rendered page:\n${html}")
    endif()
    string(REGEX MATCHALL "(href|src)=\"[^\"#:]+" links "${html}")
    foreach(link IN LISTS links)
        string(REGEX REPLACE "^(href|src)=\"" "" target "${link}")
        if(NOT EXISTS "${doc}/${target}")
            message(FATAL_ERROR "${page}.html points at ${target}, which the kit lacks")
        endif()
    endforeach()
endforeach()
file(READ "${doc}/strategy-guide.html" html)
foreach(wanted "src=\"court.svg\"" "href=\"../../../include/touchline/Toolkit.h\"")
    string(FIND "${html}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "strategy-guide.html lacks ${wanted}")
    endif()
endforeach()

# --help names the installed documentation; the manual pages explain every option --help
# names, and man renders them.
find_program(MAN man)
foreach(command match:host.md tournament:tournaments.md)
    string(REPLACE ":" ";" command "${command}")
    list(GET command 0 name)
    list(GET command 1 page)
    execute_process(COMMAND "${kit}/bin/touchline-${name}" --help
                    RESULT_VARIABLE rc OUTPUT_VARIABLE help ERROR_VARIABLE help)
    string(FIND "${help}" "${doc}" at)
    string(FIND "${help}" "${page}" page_at)
    if(NOT rc EQUAL 0 OR at EQUAL -1 OR page_at EQUAL -1)
        message(FATAL_ERROR "touchline-${name} --help does not name ${doc}, ${page}:\n${help}")
    endif()
    set(manual "${kit}/share/man/man1/touchline-${name}.1")
    file(READ "${manual}" roff)
    if(MAN)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env MANPAGER=cat MANWIDTH=100 LC_ALL=C.UTF-8
                                "${MAN}" -l "${manual}"
                        RESULT_VARIABLE rc OUTPUT_VARIABLE shown ERROR_VARIABLE error)
        if(NOT rc EQUAL 0 OR NOT shown MATCHES "EXIT STATUS" OR NOT shown MATCHES "SEE ALSO")
            message(FATAL_ERROR "man -l ${manual} failed (${rc}): ${error}\n${shown}")
        endif()
    else()
        string(REPLACE "\\-" "-" shown "${roff}")
    endif()
    string(REGEX MATCHALL "--[a-z][a-z-]*" options "${help}")
    list(REMOVE_DUPLICATES options)
    foreach(option IN LISTS options)
        string(FIND "${shown}" "${option}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "touchline-${name}(1) does not explain ${option}:\n${shown}")
        endif()
    endforeach()
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

# touchline-new: the name made a C identifier and filled in, the kit's place written in.
set(made "${WORK}/made")
execute_process(COMMAND "${kit}/bin/touchline-new" "2 my-bot" "${made}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE error)
if(NOT rc EQUAL 0 OR NOT out MATCHES "made .*the strategy _2_my_bot")
    message(FATAL_ERROR "touchline-new failed (${rc}): ${out}${error}")
endif()
file(READ "${made}/CMakeLists.txt" recipe)
foreach(wanted "touchline_add_strategy(_2_my_bot strategy.c)" "project(_2_my_bot "
        "HINTS [=[${kit}]=])" "STRATEGY _2_my_bot touchline::sample")
    string(FIND "${recipe}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the new CMakeLists.txt lacks ${wanted}:\n${recipe}")
    endif()
endforeach()
file(GLOB made_files "${made}/*")
foreach(file IN LISTS made_files)
    file(READ "${file}" text)
    if(text MATCHES "<prefix>|mystrategy|MyStrategy")
        message(FATAL_ERROR "${file} still holds the template's names:\n${text}")
    endif()
endforeach()
file(READ "${made}/README.md" readme)
string(FIND "${readme}" "${doc}/strategy-guide.md" at)
if(at EQUAL -1)
    message(FATAL_ERROR "the new README.md does not name ${doc}/strategy-guide.md:\n${readme}")
endif()

# Configured without being told where the kit is, built, and a short match played with it.
execute_process(COMMAND ${CMAKE_COMMAND} -S "${made}" -B "${made}/build" -G "${GENERATOR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${made}/build"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
endif()
set(library "${made}/build/lib_2_my_bot${SUFFIX}")
if(NOT rc EQUAL 0 OR NOT EXISTS "${library}")
    message(FATAL_ERROR "the project touchline-new made did not build:\n${out}")
endif()
file(GLOB sample "${kit}/lib/touchline/*touchline_sample${SUFFIX}")
execute_process(COMMAND "${kit}/bin/touchline-match" --home "${library}" --away ${sample}
                        --steps 200
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Match of 200 steps" OR NOT out MATCHES "_2_my_bot")
    message(FATAL_ERROR "the new strategy did not play:\n${out}")
endif()

# Its scene test, as the author runs it.
get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
execute_process(COMMAND "${cmake_bin}/ctest" --test-dir "${made}/build" --output-on-failure
                RESULT_VARIABLE rc OUTPUT_VARIABLE tested ERROR_VARIABLE tested)
if(NOT rc EQUAL 0 OR NOT tested MATCHES "reaches-ball \\.+ +Passed"
   OR NOT EXISTS "${made}/build/scenes/reaches-ball/replay.html")
    message(FATAL_ERROR "the new project's scene test did not pass:\n${tested}")
endif()

# What touchline-new refuses, each with one line on stderr and exit status 2; usage on --help.
file(WRITE "${WORK}/a-file" "")
foreach(refused "again|${made}|is not empty" "test|${WORK}/t|names a target"
        "x|${WORK}/a-file|is not a folder" "--bogus||unknown option --bogus"
        "a|b|c|unexpected argument c")
    string(REPLACE "|" ";" refused "${refused}")
    list(POP_BACK refused wanted)
    list(REMOVE_ITEM refused "")
    execute_process(COMMAND "${kit}/bin/touchline-new" ${refused}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE error)
    string(REGEX MATCHALL "\n" breaks "${error}")
    list(LENGTH breaks lines)
    if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR NOT lines EQUAL 1
       OR NOT error MATCHES "^touchline-new: .*${wanted}")
        message(FATAL_ERROR "touchline-new ${refused}: ${rc}, ${out}${error}")
    endif()
endforeach()
execute_process(COMMAND "${kit}/bin/touchline-new" RESULT_VARIABLE rc ERROR_VARIABLE error)
execute_process(COMMAND "${kit}/bin/touchline-new" --help RESULT_VARIABLE help_rc
                OUTPUT_VARIABLE help)
if(NOT rc EQUAL 2 OR NOT error MATCHES "^Usage: touchline-new NAME \\[DIR\\]"
   OR NOT help_rc EQUAL 0 OR NOT help MATCHES "^Usage: touchline-new NAME")
    message(FATAL_ERROR "touchline-new's usage: ${rc}: ${error}; --help: ${help_rc}: ${help}")
endif()
message(STATUS "the installed kit's documentation is there; the template built and played; "
               "touchline-new made a project that built, played and passed its scene test")
