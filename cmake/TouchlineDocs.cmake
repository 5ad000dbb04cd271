# The documentation that goes with the kit, made at build time into
# <build>/share/doc/touchline: the strategy guide and the host's and tournaments' references, as
# Markdown and as HTML rendered from it by cmark-gfm (cmake/RenderDoc.cmake), with the pictures
# they show. Installed under share/doc/touchline; --help names the folder.
find_program(TOUCHLINE_CMARK NAMES cmark-gfm)
if(NOT TOUCHLINE_CMARK)
    message(FATAL_ERROR "cmark-gfm not found: install Debian's cmark-gfm "
                        "(cmake/install-build-tools.sh does); it renders the documentation")
endif()
set(TOUCHLINE_DOC_BUILD_DIR "${CMAKE_BINARY_DIR}/${TOUCHLINE_INSTALL_DOCDIR}")

set(_touchline_docs "")
foreach(_page strategy-guide host tournaments)
    set(_source "${TOUCHLINE_SOURCE_DIR}/docs/${_page}.md")
    set(_made "${TOUCHLINE_DOC_BUILD_DIR}/${_page}.md" "${TOUCHLINE_DOC_BUILD_DIR}/${_page}.html")
    add_custom_command(OUTPUT ${_made}
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${TOUCHLINE_DOC_BUILD_DIR}"
        COMMAND "${CMAKE_COMMAND}" "-DCMARK=${TOUCHLINE_CMARK}" "-DINPUT=${_source}"
                "-DOUTPUT=${TOUCHLINE_DOC_BUILD_DIR}"
                -P "${TOUCHLINE_SOURCE_DIR}/cmake/RenderDoc.cmake"
        DEPENDS "${_source}" "${TOUCHLINE_SOURCE_DIR}/cmake/RenderDoc.cmake"
        COMMENT "Documentation: ${_page}.md and ${_page}.html" VERBATIM)
    list(APPEND _touchline_docs ${_made})
endforeach()
# The pictures the pages show.
foreach(_picture court.svg)
    add_custom_command(OUTPUT "${TOUCHLINE_DOC_BUILD_DIR}/${_picture}"
        COMMAND "${CMAKE_COMMAND}" -E copy "${TOUCHLINE_SOURCE_DIR}/docs/${_picture}"
                "${TOUCHLINE_DOC_BUILD_DIR}/${_picture}"
        DEPENDS "${TOUCHLINE_SOURCE_DIR}/docs/${_picture}" VERBATIM)
    list(APPEND _touchline_docs "${TOUCHLINE_DOC_BUILD_DIR}/${_picture}")
endforeach()
add_custom_target(touchline_docs ALL DEPENDS ${_touchline_docs})
install(FILES ${_touchline_docs} DESTINATION "${TOUCHLINE_INSTALL_DOCDIR}")
