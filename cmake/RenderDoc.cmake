# Makes one installed page of documentation from its Markdown source: the Markdown, with its
# links to the source tree pointed at the same files in the installed kit, and an HTML copy of
# it rendered by cmark-gfm (GitHub's Markdown: tables, autolinks), its links to sibling pages
# turned to their HTML copies.
#   cmake -DCMARK=... -DINPUT=docs/x.md -DOUTPUT=<folder> -P RenderDoc.cmake
#     -> <folder>/x.md and <folder>/x.html
get_filename_component(name "${INPUT}" NAME_WE)
file(READ "${INPUT}" text)

# From share/doc/touchline/, where the pages are installed: the header is in include/touchline,
# the examples and the template in share/touchline/examples.
foreach(pair "../src/toolkit/Toolkit.h|../../../include/touchline/Toolkit.h"
             "../host/scenetest/SceneTest.h|../../../include/touchline/SceneTest.h"
             "../examples/|../../touchline/examples/")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 from)
    list(GET pair 1 to)
    string(REPLACE "](${from}" "](${to}" text "${text}")
endforeach()
file(WRITE "${OUTPUT}/${name}.md" "${text}")

execute_process(COMMAND "${CMARK}" --to html -e table -e autolink -e strikethrough
                        "${OUTPUT}/${name}.md"
                RESULT_VARIABLE status OUTPUT_VARIABLE body ERROR_VARIABLE error)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmark-gfm could not render ${INPUT}: ${error}")
endif()
string(REGEX REPLACE "href=\"([A-Za-z0-9_.-]+)\\.md([\"#])" "href=\"\\1.html\\2" body "${body}")

# The title: the page's first heading, as plain text.
string(REGEX MATCH "^# ([^\n]*)" title "${text}")
set(title "${CMAKE_MATCH_1}")
string(REPLACE "`" "" title "${title}")
string(REPLACE "&" "&amp;" title "${title}")
string(REPLACE "<" "&lt;" title "${title}")
string(REPLACE ">" "&gt;" title "${title}")

file(WRITE "${OUTPUT}/${name}.html" "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title} - Touchline</title>
<style>
body { max-width: 50rem; margin: 2rem auto; padding: 0 1rem; font: 16px/1.5 sans-serif;
       color: #222; }
code, pre { font: 14px/1.4 monospace; background: #f4f4f4; }
pre { padding: 0.6rem; overflow-x: auto; }
table { border-collapse: collapse; margin: 1rem 0; }
th, td { border: 1px solid #ccc; padding: 0.25rem 0.5rem; text-align: left;
         vertical-align: top; }
img { max-width: 100%; }
</style>
</head>
<body>
${body}</body>
</html>
")
