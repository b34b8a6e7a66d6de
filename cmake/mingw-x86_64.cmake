# Cross-compiling toolchain for a 64-bit demo.exe (Debian's g++-mingw-w64-x86-64). The demo ships
# as the 32-bit program (mingw-i686.cmake); this build runs the same Windows backend under a
# 64-bit-only Wine, on machines whose kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
