# Makes the class-data archives the launchers hand to the match's JVM and to the robot JVMs
# (JAR without .jar, then -match.jsa and -robot.jsa): a short match of SAMPLE against itself,
# each JVM writing the classes it loaded at exit. Robot 1's archive serves every robot. A match
# that fails leaves no archive: the commands then start without one, only more slowly.
#   cmake -DLAUNCHER=... -DSAMPLE=... -DJAR=... -P TouchlineArchives.cmake
string(REGEX REPLACE "\\.jar$" "" base "${JAR}")
file(REMOVE "${base}-match.jsa" "${base}-robot.jsa")
set(work "${base}-archives")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env
            "TOUCHLINE_JAVA_OPTIONS=-XX:ArchiveClassesAtExit=${work}/match.jsa"
            "TOUCHLINE_ROBOT_OPTIONS=-XX:ArchiveClassesAtExit=${work}/robot-{robot}.jsa"
            "${LAUNCHER}" --no-sandbox --steps 300 --robots 1 --home "${SAMPLE}" --away "${SAMPLE}"
            --out "${work}/out"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status EQUAL 0 AND EXISTS "${work}/match.jsa" AND EXISTS "${work}/robot-1.jsa")
    file(RENAME "${work}/match.jsa" "${base}-match.jsa")
    file(RENAME "${work}/robot-1.jsa" "${base}-robot.jsa")
else()
    message(WARNING "no class-data archives (the commands start more slowly): ${output}")
endif()
file(REMOVE_RECURSE "${work}")
