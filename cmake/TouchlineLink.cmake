# The link step of every strategy library (touchline_add_strategy sets it as the linker
# launcher):
#
#   cmake -DTOUCHLINE_TARGET=<target> -P TouchlineLink.cmake -- <link command...>
#
# Runs the link command unchanged. When it fails because the strategy lacks one of its two
# hooks, it says so in plain words, with the function to define: the linker itself names only
# a symbol inside the toolkit's adapter.
set(command)
set(seen_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
    if(seen_separator)
        list(APPEND command "${CMAKE_ARGV${i}}")
    elseif(CMAKE_ARGV${i} STREQUAL "--")
        set(seen_separator TRUE)
    endif()
endforeach()

execute_process(COMMAND ${command} RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ECHO_OUTPUT_VARIABLE
                ERROR_VARIABLE err ECHO_ERROR_VARIABLE)
if(rc EQUAL 0)
    return()
endif()

# GNU ld: "undefined reference to `run'"; lld: "undefined symbol: run"; 32-bit Windows symbols
# may carry a leading underscore.
set(signature_initialize "void initialize(void) { ... }     /* once, before the first step */")
set(signature_run "void run(void) { for (;;) { ...; execute(); } }   /* plays the match */")
set(missing)
foreach(hook initialize run)
    if("${out}${err}" MATCHES "undefined (reference to|symbol:) [`']?_?${hook}([^A-Za-z0-9_]|$)")
        list(APPEND missing ${hook})
    endif()
endforeach()
if(missing)
    set(text "")
    foreach(hook IN LISTS missing)
        string(APPEND text "touchline: the strategy ${TOUCHLINE_TARGET} does not define ${hook}(). "
                           "Define it in one of its sources:\n    ${signature_${hook}}\n")
    endforeach()
    string(APPEND text "A C++ source must include \"Toolkit.h\" before defining the hooks, "
                       "which gives them C linkage.")
    # Printed as it is, unwrapped, before CMake's own error lines.
    message(NOTICE "${text}")
endif()
message(FATAL_ERROR "linking ${TOUCHLINE_TARGET} failed (exit status ${rc})")
