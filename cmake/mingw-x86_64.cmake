# Cross-compiling toolchain for a 64-bit demo.exe (Debian's g++-mingw-w64-x86-64). The demo ships
# as the 32-bit program (mingw-i686.cmake); this build runs the same Windows backend under a
# 64-bit-only Wine, on machines whose kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
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
