# touchline_jni_slot_names(<folder>): writes <folder>/JniSlotNames.inc, the slot names of the JNI
# function table in order, read from the JDK's own jni.h (TOUCHLINE_JDK_HOME), so the fake JVM
# can name any function the library must not call. Used by the test build and the fuzz build.
function(touchline_jni_slot_names folder)
    file(READ "${TOUCHLINE_JDK_HOME}/include/jni.h" _jni)
    string(FIND "${_jni}" "struct JNINativeInterface_ {" _start)
    string(SUBSTRING "${_jni}" ${_start} -1 _jni)
    string(FIND "${_jni}" "};" _end)
    string(SUBSTRING "${_jni}" 0 ${_end} _jni)
    string(REGEX MATCHALL "void \\*reserved[0-9]|JNICALL \\*[A-Za-z0-9_]+" _slots "${_jni}")
    set(_names "")
    foreach(_slot IN LISTS _slots)
        string(REGEX REPLACE "^(void \\*|JNICALL \\*)" "" _slot "${_slot}")
        string(APPEND _names "    \"${_slot}\",\n")
    endforeach()
    file(CONFIGURE OUTPUT "${folder}/JniSlotNames.inc" CONTENT "${_names}")
endfunction()
