# Runs JVM tests, JUnit's console launcher (MAIN) on the tests that ARGS select, under
# -Xcheck:jni with stdout and stderr merged, echoes what it printed, and fails on a non-zero
# exit (a test failed, or none was found), an uncaught exception, a crash, or any line of the
# JNI checker. With CASE_NAME set, it also fails unless the case that ran is named so.
# The robot processes a test starts run under -Xcheck:jni too, and their output is merged in.
# Each run gets a temporary folder of its own (java.io.tmpdir), removed afterwards, so a test
# can tell that nothing was left in it. With EXPECT_CHECKER set it does the opposite check: it
# fails unless a checker line was seen.
string(RANDOM LENGTH 8 _suffix)
set(_tmp "/tmp/touchline-test-${_suffix}")
file(MAKE_DIRECTORY "${_tmp}")
execute_process(
    COMMAND "${JAVA}" -Xcheck:jni -Xmx256m -XX:+UseSerialGC
            "-Dtouchline.bridge=${BRIDGE}" "-Dtouchline.robot.init=${INIT}"
            "-Dtouchline.test.config=${BUILT}"
            "-Dtouchline.robot.options=-Xcheck:jni" "-Djava.io.tmpdir=${_tmp}"
            -cp "${CLASSPATH}" "${MAIN}" ${ARGS}
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
    RESULT_VARIABLE status)
file(REMOVE_RECURSE "${_tmp}")
message("${output}")

# JDK 17's own font scaler (sun.font.FreetypeFontScaler, used when the host draws text into its
# pictures) makes JNI calls without checking for an exception; those reports, whose native
# method is the JDK's font scaler, are the JDK's, not ours, and the only ones left out.
string(REGEX REPLACE "WARNING in native method: JNI call made without checking exceptions when required to from CallIntMethod\r?\n[\t ]+at sun\\.font\\.FreetypeFontScaler\\.[A-Za-z]+\\(java\\.desktop@[^/]*/Native Method\\)"
       "(the JDK's font scaler: not checked)" output "${output}")

# The checker's reports ("WARNING in native method: ...", "FATAL ERROR in native method: ...",
# "JNI call made with exception pending", local reference warnings, critical-section misuse).
set(_checker "in native method|JNI call made|JNI local refs|Get/Release[A-Za-z]*Critical|exception pending|-Xcheck:jni")
string(REGEX MATCHALL "[^\n]*(${_checker})[^\n]*" checker_lines "${output}")
string(REGEX MATCHALL "[^\n]*(Exception in thread|hs_err_pid|A fatal error has been detected)[^\n]*"
       crash_lines "${output}")

if(EXPECT_CHECKER)
    if(NOT checker_lines)
        message(FATAL_ERROR "the JNI checker printed nothing, though the test breaks a JNI rule")
    endif()
    message(STATUS "checker line seen: ${checker_lines}")
    return()
endif()
if(checker_lines)
    string(REPLACE ";" "\n" checker_lines "${checker_lines}")
    message(FATAL_ERROR "the JNI checker reported:\n${checker_lines}")
endif()
if(crash_lines)
    string(REPLACE ";" "\n" crash_lines "${crash_lines}")
    message(FATAL_ERROR "the JVM reported:\n${crash_lines}")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the JVM exited with ${status}")
endif()
# The launcher's tree names each case that ran, "+-- NAME [OK]" or "'-- NAME [OK]", with the
# time it took before "[OK]" when that was long ("'-- NAME 10350 ms [OK]").
if(CASE_NAME)
    string(REGEX REPLACE " [0-9]+ ms \\[OK\\]" " [OK]" _tree "${output}")
    string(FIND "${_tree}" "-- ${CASE_NAME} [OK]" _at)
    if(_at EQUAL -1)
        message(FATAL_ERROR "no case named ${CASE_NAME} ran: does the order of the cases "
                            "in the test class match tests/jvm/CMakeLists.txt?")
    endif()
endif()
