# Cross-compiling toolchain for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686).
# cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake gives demo.exe.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
