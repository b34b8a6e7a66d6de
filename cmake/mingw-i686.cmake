# Cross-compiling toolchain for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686).
# cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake gives demo.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_PREFIX i686-w64-mingw32)
# The win32-threads flavour needs no winpthread runtime; take it where it is installed.
find_program(MINGW_CXX NAMES ${MINGW_PREFIX}-g++-win32 ${MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${MINGW_CXX})
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Size over speed unless the caller picks a build type.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "Build type")
endif()
