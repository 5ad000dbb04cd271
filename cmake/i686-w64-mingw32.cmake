# Cross toolchain for the library's target platform, 32-bit Windows, with Debian's MinGW-w64
# (g++-mingw-w64-i686, installed by cmake/install-win32-tools.sh).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
#
# Test executables run under Wine when it is installed (CMake's cross-compiling emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOUCHLINE_MINGW_TRIPLE i686-w64-mingw32)
# The POSIX thread model gives the whole C++ standard library (std::thread, std::mutex); its
# runtime is linked statically into every strategy DLL.
set(CMAKE_C_COMPILER ${TOUCHLINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOUCHLINE_MINGW_TRIPLE}-g++-posix)

# Doubles in SSE2 registers, rounded to 64 bits after every operation, exactly as on x86-64.
# The x87 default keeps 80-bit intermediates and gives different geometry results. Set here
# for everything the build compiles (toolkit, strategies, tests, GoogleTest).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_FIND_ROOT_PATH /usr/${TOUCHLINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TOUCHLINE_WINE wine NO_CACHE)
if(TOUCHLINE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOUCHLINE_WINE})
endif()
