# Finds the JDK 17 whose jni.h the library compiles against, without relying on JAVA_HOME:
# these machines have no default-java link and carry a second, newer JDK.
# Result: TOUCHLINE_JDK_HOME and the interface target touchline_jni_headers.
if(TARGET touchline_jni_headers)
    return()
endif()

if(NOT TOUCHLINE_JDK_HOME)
    set(_touchline_jdk_candidates)
    file(GLOB _touchline_globbed LIST_DIRECTORIES true
         /usr/lib/jvm/java-17-openjdk-* /usr/lib/jvm/java-17-openjdk /usr/lib/jvm/openjdk-17)
    list(APPEND _touchline_jdk_candidates ${_touchline_globbed})
    if(DEFINED ENV{JAVA_HOME})
        list(APPEND _touchline_jdk_candidates "$ENV{JAVA_HOME}")
    endif()
    foreach(_dir IN LISTS _touchline_jdk_candidates)
        if(EXISTS "${_dir}/include/jni.h" AND EXISTS "${_dir}/bin/javac")
            set(TOUCHLINE_JDK_HOME "${_dir}" CACHE PATH "JDK 17 used for jni.h and the host")
            break()
        endif()
    endforeach()
endif()
if(NOT TOUCHLINE_JDK_HOME OR NOT EXISTS "${TOUCHLINE_JDK_HOME}/include/jni.h")
    message(FATAL_ERROR "Touchline needs JDK 17 (Debian: openjdk-17-jdk-headless); "
                        "set TOUCHLINE_JDK_HOME to its folder")
endif()

add_library(touchline_jni_headers INTERFACE)
if(WIN32)
    # 32-bit Windows: the JDK's jni.h with a platform header of our own.
    target_include_directories(touchline_jni_headers INTERFACE
        "${CMAKE_CURRENT_LIST_DIR}/win32" "${TOUCHLINE_JDK_HOME}/include")
else()
    target_include_directories(touchline_jni_headers INTERFACE
        "${TOUCHLINE_JDK_HOME}/include" "${TOUCHLINE_JDK_HOME}/include/linux")
endif()
