# The installed layout and the packages CPack makes from it (`cpack` in a build tree, or
# scripts/package). Native build: a Debian package with the programs in /usr/bin, the demo in
# /usr/share/kestrune/demo, manual pages, a desktop entry and the recordings' MIME type, its
# dependencies computed by dpkg-shlibdeps. Windows build: a zip with the programs in bin\ and
# the demo in Video\ beside it, where the player looks by default, and a README.txt.
include(GNUInstallDirs)
install(TARGETS kestrune kestrune-player RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrune Player developers")
set(CPACK_PACKAGE_CONTACT "The Kestrune Player developers <kestrune@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player and viewer for recordings of a racing game's 3D output")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(DIRECTORY ${KESTRUNE_DEMO_DIR}/Video DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${CMAKE_BINARY_DIR}/README.txt
    NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_PACKAGE_FILE_NAME kestrune-${PROJECT_VERSION}-win32)
  include(CPack)
  return()
endif()

install(DIRECTORY ${KESTRUNE_DEMO_DIR}/Video DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrune/demo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrune.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrune.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrune)

# Manual pages: kestrune's from its --help by help2man, the player's (which takes no options, its
# arguments being the recording's path) from a written source.
find_program(HELP2MAN help2man)
set(man_dir ${CMAKE_BINARY_DIR}/man)
string(TIMESTAMP KESTRUNE_MAN_DATE "%B %Y" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/kestrune-player.1.in ${man_dir}/kestrune-player.1 @ONLY)
add_custom_command(OUTPUT ${man_dir}/kestrune-player.1.gz
  COMMAND gzip -9nkf ${man_dir}/kestrune-player.1
  DEPENDS ${man_dir}/kestrune-player.1)
set(man_pages ${man_dir}/kestrune-player.1.gz)
if(HELP2MAN)
  add_custom_command(OUTPUT ${man_dir}/kestrune.1.gz
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:kestrune> -DHELP2MAN=${HELP2MAN} -DOUT=${man_dir}
      -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    DEPENDS kestrune ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    COMMENT "Writing kestrune's manual page")
  list(APPEND man_pages ${man_dir}/kestrune.1.gz)
else()
  message(WARNING "help2man not found: the package would lack kestrune's manual page")
endif()
add_custom_target(man-pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION "kestrune-player plays recordings of the racing game's 3D output \
as the game does, drawing every frame with its own software renderer. The kestrune tool \
inspects, renders and exports them, and its viewer plays them with pause, exact seeking and \
frame steps.")
include(CPack)
