# The short fuzz run of `make test` (CTest "fuzz.library"): replays every input of the committed
# corpus and of the regressions (the inputs of faults found), then fuzzes for SECONDS more. Any crash, sanitizer report, JNI misuse or failed check
# fails the test; libFuzzer saves the input that failed in WORK/artifacts. New inputs it finds go
# to WORK/found, never into the repository.
#   cmake -DFUZZER=<library_fuzz> -DCORPUS=<dir> -DREGRESSIONS=<dir> -DWORK=<dir> -DSECONDS=<n>
#         -P ShortRun.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/found" "${WORK}/artifacts")
# -detect_leaks=0: libFuzzer's own check after an input that allocated more than it freed would
# fire on most inputs, as the loader keeps a little memory from one load of the library to the
# next; LeakSanitizer still checks at exit, when anything a library copy left behind has no
# owner any more.
execute_process(
    COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -max_len=512 -detect_leaks=0
            -print_final_stats=1 "-artifact_prefix=${WORK}/artifacts/" "${WORK}/found" "${CORPUS}"
            "${REGRESSIONS}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "library_fuzz failed (exit ${result}); the input is in ${WORK}/artifacts. "
                        "Replay it with: ${FUZZER} <input>")
endif()
