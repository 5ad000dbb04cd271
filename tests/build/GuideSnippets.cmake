# Every C snippet of docs/strategy-guide.md is compiled with the build. A snippet is marked by
# the line before its ```c fence:
#
#   <!-- compile: strategy -->   a whole strategy file, built with touchline_add_strategy
#   <!-- compile: fragment -->   declarations and functions, compiled with Toolkit.h included
#   <!-- compile: scene-test --> (before a ```cpp fence) a GoogleTest test using SceneTest.h
#
# CTest "docs.guide-snippets" fails when a C or C++ snippet carries no mark.
# Written only when changed, so a new configure rebuilds nothing.
function(_touchline_snippet file code)
    file(WRITE "${file}.new" "${code}")
    file(COPY_FILE "${file}.new" "${file}" ONLY_IF_DIFFERENT)
    file(REMOVE "${file}.new")
endfunction()

set(_guide "${TOUCHLINE_SOURCE_DIR}/docs/strategy-guide.md")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_guide}")
file(READ "${_guide}" _rest)
set(_dir "${CMAKE_CURRENT_BINARY_DIR}/guide")
file(MAKE_DIRECTORY "${_dir}")
set(_count 0)
set(_fragments)
while(TRUE)
    string(FIND "${_rest}" "<!-- compile: " _at)
    if(_at EQUAL -1)
        break()
    endif()
    math(EXPR _at "${_at} + 14")
    string(SUBSTRING "${_rest}" ${_at} -1 _rest)
    string(FIND "${_rest}" " -->\n```" _end)
    if(_end EQUAL -1)
        message(FATAL_ERROR "${_guide}: a compile mark not followed by a code fence")
    endif()
    string(SUBSTRING "${_rest}" 0 ${_end} _kind)
    # The fence's language: c, or cpp for a scene test.
    math(EXPR _lang_at "${_end} + 8")
    string(SUBSTRING "${_rest}" ${_lang_at} 4 _lang)
    if(_lang MATCHES "^cpp\n")
        math(EXPR _start "${_end} + 11")
    else()
        math(EXPR _start "${_end} + 9")
    endif()
    string(SUBSTRING "${_rest}" ${_start} -1 _rest)
    string(FIND "${_rest}" "\n```" _end)
    math(EXPR _end "${_end} + 1")
    string(SUBSTRING "${_rest}" 0 ${_end} _code)
    string(SUBSTRING "${_rest}" ${_end} -1 _rest)
    math(EXPR _count "${_count} + 1")
    set(_file "${_dir}/snippet${_count}.c")
    if(_kind STREQUAL "strategy")
        _touchline_snippet("${_file}" "${_code}")
        touchline_add_strategy(guide_snippet${_count} "${_file}")
        target_compile_options(guide_snippet${_count} PRIVATE ${TOUCHLINE_WARNINGS})
        set_target_properties(guide_snippet${_count} PROPERTIES
            C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
    elseif(_kind STREQUAL "scene-test")
        set(_file "${_dir}/snippet${_count}.cpp")
        _touchline_snippet("${_file}" "${_code}")
        list(APPEND _scene_tests "${_file}")
    elseif(_kind STREQUAL "fragment")
        _touchline_snippet("${_file}" "#include \"Toolkit.h\"\n${_code}")
        list(APPEND _fragments "${_file}")
    else()
        message(FATAL_ERROR "${_guide}: unknown compile mark \"${_kind}\"")
    endif()
endwhile()
if(_fragments)
    add_library(guide_fragments OBJECT ${_fragments})
    target_include_directories(guide_fragments PRIVATE "${TOUCHLINE_SOURCE_DIR}/src/toolkit")
    target_compile_options(guide_fragments PRIVATE ${TOUCHLINE_WARNINGS})
    set_target_properties(guide_fragments PROPERTIES
        C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
endif()

if(_scene_tests AND TARGET touchline_scenetest AND TARGET GTest::gtest)
    add_library(guide_scene_tests OBJECT ${_scene_tests})
    target_link_libraries(guide_scene_tests PRIVATE touchline_scenetest GTest::gtest)
    target_compile_definitions(guide_scene_tests PRIVATE MY_LIBRARY="libmine.so"
                               SAMPLE_LIBRARY="libtouchline_sample.so")
endif()

file(READ "${_guide}" _all)
string(REGEX MATCHALL "\n```(c|cpp)\n" _fences "${_all}")
list(LENGTH _fences _fence_count)
if(_fence_count EQUAL _count)
    add_test(NAME docs.guide-snippets
             COMMAND ${CMAKE_COMMAND} -E echo "all ${_count} C and C++ snippets of the guide compile")
else()
    add_test(NAME docs.guide-snippets
             COMMAND ${CMAKE_COMMAND} -E echo
                     "${_fence_count} C and C++ snippets in the guide, ${_count} marked for compiling")
    set_tests_properties(docs.guide-snippets PROPERTIES WILL_FAIL ON)
endif()
set_tests_properties(docs.guide-snippets PROPERTIES LABELS build)
