# Install rules and CPack settings, included by the root CMakeLists.txt for both builds: on
# Linux the player and the capture tool as a Debian package; for Windows demo.exe in a zip.
set(DEMO_MAINTAINER "${DEMO_TITLE} developers <${DEMO_PACKAGE_NAME}@example.org>")

set(CPACK_PACKAGE_NAME ${DEMO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${DEMO_TITLE} developers")
set(CPACK_PACKAGE_CONTACT "${DEMO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "82-second real-time audiovisual demo")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/README-win32.txt.in
                 ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS demo RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${DEMO_PACKAGE_NAME}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${DEMO_PACKAGE_NAME})
install(PROGRAMS $<TARGET_FILE:demo> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${DEMO_PACKAGE_NAME})
install(PROGRAMS $<TARGET_FILE:demo-capture> DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME ${DEMO_PACKAGE_NAME}-capture)
# Renamed on the way, so stripped here rather than by install(TARGETS) (cpack and --strip ask).
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  foreach(program ${DEMO_PACKAGE_NAME} ${DEMO_PACKAGE_NAME}-capture)
    execute_process(COMMAND \"${CMAKE_STRIP}\"
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
      COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()")
configure_file(${CMAKE_SOURCE_DIR}/packaging/desktop.in
               ${CMAKE_BINARY_DIR}/packaging/${DEMO_PACKAGE_NAME}.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${DEMO_PACKAGE_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME ${DEMO_PACKAGE_NAME}.png)
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright DESTINATION ${doc_dir})
# Debian wants the changelog compressed, reproducibly (no name or time stamp in the gzip header).
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "OpenGL scenes (a swirl of light dots, a swarm of tumbling cubes, a rippled
tunnel, a spinning coil) against an 8-channel song played on instrument
samples synthesized at start-up.

${DEMO_PACKAGE_NAME} plays it full screen or in a window; ${DEMO_PACKAGE_NAME}-capture renders
it offline to a video or to PNG frames with ffmpeg.")
# The libraries come from the programs themselves (dpkg-shlibdeps); the captions need a bold
# sans font through fontconfig, and only the capture tool needs ffmpeg.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
