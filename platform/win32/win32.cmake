# demo.exe for 32-bit Windows, cross-built with MinGW-w64 (cmake/mingw-i686.cmake). Included by
# the root CMakeLists.txt when WIN32 is set; there are no tests or benchmarks in this build.
#
# Built small: a demo's executable size is compared. Static runtime, so the program needs only
# Windows' own DLLs.
enable_language(RC)

# No -fdata-sections: MinGW's GCC then moves zero-initialised arrays out of .bss into the file.
set(DEMO_WIN32_SMALL -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffunction-sections -fno-ident)

# windows.h comes in through GL/gl.h; keep its min/max macros away from the demo code.
target_compile_definitions(demo_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
target_compile_options(demo_core PRIVATE ${DEMO_WIN32_SMALL})
target_link_libraries(demo_core PUBLIC opengl32 glu32)

file(GLOB PLATFORM_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
add_executable(demo WIN32 runtime/main.cpp ${PLATFORM_WIN32_SOURCES} platform/win32/demo.rc)
set_source_files_properties(platform/win32/demo.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/demo.manifest)
target_compile_options(demo PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${DEMO_WARNINGS} ${DEMO_WIN32_SMALL}>)
target_link_options(demo PRIVATE -s -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
target_link_libraries(demo PRIVATE demo_core dsound gdi32 user32 kernel32)
