# Windows builds: the target touchline_dlls gathers every strategy DLL of the build (the sample
# and the examples, all made by touchline_add_strategy) in <build>/dll, and CTest checks each
# one's export and import tables (label "dll"). Runs once the whole project has been read, so
# strategies added anywhere are included.
function(touchline_gather_dlls)
    get_property(strategies GLOBAL PROPERTY TOUCHLINE_STRATEGIES)
    set(dir "${CMAKE_BINARY_DIR}/dll")
    set(copies)
    foreach(strategy IN LISTS strategies)
        list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different
             "$<TARGET_FILE:${strategy}>" "${dir}/")
        add_test(NAME dll.${strategy}
                 COMMAND ${CMAKE_COMMAND} "-DLIBRARY=${dir}/$<TARGET_FILE_NAME:${strategy}>"
                         "-DOBJDUMP=${CMAKE_OBJDUMP}"
                         -P "${TOUCHLINE_SOURCE_DIR}/tests/build/CheckExports.cmake")
        set_tests_properties(dll.${strategy} PROPERTIES LABELS "build;dll")
    endforeach()
    add_custom_target(touchline_dlls ALL
        COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
        ${copies}
        COMMENT "Gathering the strategy DLLs in ${dir}"
        VERBATIM)
    if(strategies)
        add_dependencies(touchline_dlls ${strategies})
    endif()
endfunction()

if(WIN32 AND PROJECT_IS_TOP_LEVEL)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL touchline_gather_dlls)
endif()
