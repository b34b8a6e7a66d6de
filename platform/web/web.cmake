# The browser build, configured with emcmake: demo.js + demo.wasm (the demo on the WebGL 2
# fixed-function layer), sound.wasm (the song engine of the page's audio thread), the page and
# its audio worklet script, all in the build folder. scripts/web.sh runs it.

set(WEB_DIR ${CMAKE_SOURCE_DIR}/platform/web)

# The caption font, baked by a native generator from the desktop FreeType code.
find_program(HOST_CXX NAMES g++ c++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
execute_process(
  COMMAND env -u PKG_CONFIG_LIBDIR -u PKG_CONFIG_PATH -u PKG_CONFIG_SYSROOT_DIR pkg-config --cflags --libs freetype2 fontconfig
  OUTPUT_VARIABLE HOST_FONT_FLAGS OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(HOST_FONT_FLAGS UNIX_COMMAND "${HOST_FONT_FLAGS}")
set(FONT_BAKE_SOURCES
  ${WEB_DIR}/font_bake.cpp
  ${CMAKE_SOURCE_DIR}/platform/common/font_freetype.cpp
  ${CMAKE_SOURCE_DIR}/platform/common/font_lists.cpp)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/font_bake
  COMMAND ${HOST_CXX} -std=c++20 -O2 ${DEMO_WARNINGS} -I${CMAKE_SOURCE_DIR} ${FONT_BAKE_SOURCES}
          ${HOST_FONT_FLAGS} -lGL -o ${CMAKE_BINARY_DIR}/font_bake
  DEPENDS ${FONT_BAKE_SOURCES} ${WEB_DIR}/baked_font.h ${CMAKE_SOURCE_DIR}/platform/common/font_glyphs.h
          ${CMAKE_SOURCE_DIR}/captions/captions.h
  COMMENT "Building the native font generator")
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/baked_font.cpp
  COMMAND ${CMAKE_BINARY_DIR}/font_bake ${CMAKE_BINARY_DIR}/baked_font.cpp
  DEPENDS ${CMAKE_BINARY_DIR}/font_bake
  COMMENT "Baking the caption font")

# Size before speed: the whole page should stay small enough to load at once.
set(WEB_OPT -Os)
target_compile_options(demo_core PRIVATE ${WEB_OPT})

file(GLOB GL_LAYER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/glfixed/*.cpp)
add_executable(demo
  ${WEB_DIR}/web_display.cpp ${WEB_DIR}/web_font.cpp ${WEB_DIR}/web_main.cpp ${WEB_DIR}/web_gl_layer.cpp
  ${WEB_DIR}/web_sound.cpp ${CMAKE_SOURCE_DIR}/platform/common/font_lists.cpp ${CMAKE_BINARY_DIR}/baked_font.cpp
  ${GL_LAYER_SOURCES})
target_compile_options(demo PRIVATE ${DEMO_WARNINGS} ${WEB_OPT})
target_link_libraries(demo PRIVATE demo_core)
target_link_options(demo PRIVATE ${WEB_OPT}
  -sMODULARIZE=1 -sEXPORT_NAME=createDemo -sENVIRONMENT=web -sFILESYSTEM=0
  -sEXPORTED_FUNCTIONS=_demo_start,_demo_frame,_demo_render_at,_demo_sharp_width
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sINITIAL_MEMORY=16777216 -sEXIT_RUNTIME=0
  # A sharp picture's glyph atlas is made at start-up and grows with the square of its size.
  -sALLOW_MEMORY_GROWTH=1)

# The song engine: exports only, instantiated by the page's audio worklet from its bytes.
add_executable(sound ${WEB_DIR}/sound_engine.cpp ${CMAKE_SOURCE_DIR}/platform/common/mixer.cpp
  ${CMAKE_SOURCE_DIR}/platform/common/sound_buffers.cpp)
set_target_properties(sound PROPERTIES SUFFIX ".wasm")
target_compile_options(sound PRIVATE ${DEMO_WARNINGS} -O2)
target_link_libraries(sound PRIVATE demo_core)
target_link_options(sound PRIVATE -O2 -sSTANDALONE_WASM=1 --no-entry -sINITIAL_MEMORY=1048576
  -sTOTAL_STACK=65536 -sFILESYSTEM=0)

# The page, its scripts and the worklet script, copied beside the modules.
foreach(page_file index.html page.js test_hooks.js sound_engine.js)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/${page_file}
    COMMAND ${CMAKE_COMMAND} -E copy ${WEB_DIR}/${page_file} ${CMAKE_BINARY_DIR}/${page_file}
    DEPENDS ${WEB_DIR}/${page_file})
  list(APPEND PAGE_FILES ${CMAKE_BINARY_DIR}/${page_file})
endforeach()
# The page's icon: the desktop icon made small, so the page stays light.
find_program(FFMPEG ffmpeg REQUIRED NO_CMAKE_FIND_ROOT_PATH)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/icon.png
  COMMAND ${FFMPEG} -v error -y -i ${CMAKE_SOURCE_DIR}/packaging/icon.png -vf scale=48:48 ${CMAKE_BINARY_DIR}/icon.png
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/icon.png)
list(APPEND PAGE_FILES ${CMAKE_BINARY_DIR}/icon.png)
add_custom_target(page ALL DEPENDS ${PAGE_FILES})
