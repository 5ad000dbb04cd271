# `cmake --install` (and `make install PREFIX=...`): the strategy author's kit.
#
#   include/touchline/Toolkit.h             the header
#   include/touchline/SceneTest.h           plays scenes from C++ tests
#   lib/libtouchline_toolkit.a              the toolkit
#   lib/cmake/Touchline/                    the CMake package: find_package(Touchline)
#   lib/touchline/                          the sample and example strategies, the host's bridge
#   share/touchline/touchline-host.jar      the host (with picocli.jar, its option parser)
#   share/touchline/examples/               the examples' sources and the template project
#   bin/touchline-match                     the match runner
#   bin/touchline-tournament                series of matches between many entrants
#   bin/touchline-new                       makes a strategy project from the template
#   share/doc/touchline/                    the guide and the references, Markdown and HTML
#   share/man/man1/                         touchline-match(1), touchline-tournament(1)
#
# Nothing in the tree names where it was installed: it works wherever it is copied.
include(CMakePackageConfigHelpers)

install(FILES "${TOUCHLINE_SOURCE_DIR}/src/toolkit/Toolkit.h"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/touchline")
install(FILES "${TOUCHLINE_SOURCE_DIR}/host/scenetest/SceneTest.h"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/touchline")
install(TARGETS touchline_toolkit EXPORT TouchlineTargets
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
install(EXPORT TouchlineTargets NAMESPACE touchline::
        DESTINATION "${TOUCHLINE_INSTALL_CMAKEDIR}")

install(FILES cmake/TouchlineStrategy.cmake cmake/TouchlineLink.cmake cmake/strategy.map
              cmake/strategy.def
        DESTINATION "${TOUCHLINE_INSTALL_CMAKEDIR}")
install(FILES cmake/win32/OwnUnwindTables.cpp DESTINATION "${TOUCHLINE_INSTALL_CMAKEDIR}/win32")

set(TOUCHLINE_INSTALLED_STRATEGIES)
if(TARGET touchline_striker)
    install(TARGETS touchline_sample touchline_striker touchline_goalkeeper touchline_still
                    touchline_chaser touchline_duo
            LIBRARY DESTINATION "${TOUCHLINE_INSTALL_LIBDIR}"
            RUNTIME DESTINATION "${TOUCHLINE_INSTALL_LIBDIR}")
    # The names under which find_package gives them: touchline::sample and so on.
    # The keeper team of the ladder names its libraries relative to itself.
    install(FILES examples/keeper.team DESTINATION "${TOUCHLINE_INSTALL_LIBDIR}")
    foreach(_pair sample:touchline_sample striker:touchline_striker
            goalkeeper:touchline_goalkeeper still:touchline_still chaser:touchline_chaser
            duo:touchline_duo)
        string(REPLACE ":" ";" _pair "${_pair}")
        list(GET _pair 0 _name)
        list(GET _pair 1 _target)
        list(APPEND TOUCHLINE_INSTALLED_STRATEGIES "${_name}=$<TARGET_FILE_NAME:${_target}>")
    endforeach()
endif()
install(FILES examples/striker.c examples/goalkeeper.c examples/still.c examples/chaser.c
              examples/duo.c examples/keeper.team
        DESTINATION "${TOUCHLINE_INSTALL_DATADIR}/examples")
install(DIRECTORY examples/scenes DESTINATION "${TOUCHLINE_INSTALL_DATADIR}/examples")
install(DIRECTORY examples/template DESTINATION "${TOUCHLINE_INSTALL_DATADIR}/examples")
# touchline-new finds the kit and its template relative to itself.
file(RELATIVE_PATH TOUCHLINE_NEW_TO_PREFIX "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix")
set(TOUCHLINE_NEW_TEMPLATE "${TOUCHLINE_INSTALL_DATADIR}/examples/template")
configure_file(cmake/touchline-new.in "${CMAKE_CURRENT_BINARY_DIR}/installed/touchline-new" @ONLY)
install(PROGRAMS "${CMAKE_CURRENT_BINARY_DIR}/installed/touchline-new"
        DESTINATION "${CMAKE_INSTALL_BINDIR}")

set(TOUCHLINE_INSTALLED_HOST OFF)
if(TARGET touchline_host)
    set(TOUCHLINE_INSTALLED_HOST ON)
endif()
set(TOUCHLINE_INSTALLED_JDK_HOME "${TOUCHLINE_JDK_HOME}")
configure_package_config_file(cmake/TouchlineConfig.cmake.in
    "${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfig.cmake.in2"
    INSTALL_DESTINATION "${TOUCHLINE_INSTALL_CMAKEDIR}"
    PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR TOUCHLINE_INSTALL_LIBDIR)
# The strategies' file names are known only when the build files are generated.
file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfig.cmake"
     INPUT "${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfig.cmake.in2")
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfigVersion.cmake"
    COMPATIBILITY SameMinorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfig.cmake"
              "${CMAKE_CURRENT_BINARY_DIR}/TouchlineConfigVersion.cmake"
        DESTINATION "${TOUCHLINE_INSTALL_CMAKEDIR}")

# The installed commands get class-data archives of their own, made by a short match in the
# installed tree (the build's archives name the build's jar). A tree copied elsewhere later
# starts without them, only more slowly.
if(TARGET touchline_host AND TARGET touchline_sample)
    install(CODE "
        set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
        message(STATUS \"Making the class-data archives: \${_root}/${TOUCHLINE_INSTALL_DATADIR}\")
        execute_process(COMMAND \"${CMAKE_COMMAND}\"
            \"-DLAUNCHER=\${_root}/${CMAKE_INSTALL_BINDIR}/touchline-match\"
            \"-DSAMPLE=\${_root}/${TOUCHLINE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:touchline_sample>\"
            \"-DJAR=\${_root}/${TOUCHLINE_INSTALL_DATADIR}/touchline-host.jar\"
            -P \"${TOUCHLINE_SOURCE_DIR}/cmake/TouchlineArchives.cmake\")")
endif()
