# Where an installed game lies, its menu entry, icons, manual page and
# licence file, and the Debian package CPack makes of them (make deb).
if(NOT SHINDAN_DESKTOP)
  return()
endif()

set(SHINDAN_CONTACT "The shindan maintainers <maintainers@users.noreply.c-seed-7758ec7c.example>")
# The README's screenshots as published with the sources; the software
# centres show them from there. A distributor sets the real address.
set(SHINDAN_SCREENSHOT_URL "https://shindan.c-seed-7758ec7c.example/docs" CACHE STRING
    "Web address of the folder holding the screenshots title.png, question.png and analysis.png")

# Under /usr or /usr/local the game goes where the system keeps games: the
# launcher in games/, the program (machine code) in lib/games/shindan and
# its pictures, sounds and tunes in share/games/shindan. Anywhere else (a
# home folder) the launcher goes to bin/ and everything else to
# share/shindan, as a user's PATH expects.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(SHINDAN_INSTALL_BINDIR games)
  set(SHINDAN_INSTALL_PROGRAMDIR lib/games/shindan)
  set(SHINDAN_INSTALL_GAMEDIR share/games/shindan)
else()
  set(SHINDAN_INSTALL_BINDIR bin)
  set(SHINDAN_INSTALL_PROGRAMDIR share/shindan)
  set(SHINDAN_INSTALL_GAMEDIR share/shindan)
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The program finds its tunes beside itself, and its window icon there when
# the working folder has none: where it lies apart from the pack, relative
# links lead there.
if(NOT SHINDAN_INSTALL_PROGRAMDIR STREQUAL SHINDAN_INSTALL_GAMEDIR)
  file(RELATIVE_PATH program_to_game /${SHINDAN_INSTALL_PROGRAMDIR} /${SHINDAN_INSTALL_GAMEDIR})
  set(links_dir ${CMAKE_BINARY_DIR}/packaging/program-links)
  file(REMOVE_RECURSE ${links_dir})
  file(MAKE_DIRECTORY ${links_dir})
  foreach(name ${SHINDAN_ASSET_FILES} icon.bmp)
    if(name MATCHES "\\.(mid|bmp)$")
      file(CREATE_LINK ${program_to_game}/${name} ${links_dir}/${name} SYMBOLIC)
      install(FILES ${links_dir}/${name} DESTINATION ${SHINDAN_INSTALL_PROGRAMDIR})
    endif()
  endforeach()
endif()

# The menu entry, the software centres' description and the icons.
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(shindan_id org.shindan.Shindan)
configure_file(${packaging}/${shindan_id}.metainfo.xml ${CMAKE_BINARY_DIR}/packaging/${shindan_id}.metainfo.xml @ONLY)
install(FILES ${packaging}/${shindan_id}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${shindan_id}.metainfo.xml DESTINATION share/metainfo)
if(SHINDAN_ICON_DIR)
  install(DIRECTORY ${SHINDAN_ICON_DIR}/hicolor DESTINATION share/icons)
endif()

# The manual page and the changelog, compressed as Debian keeps them (no
# name or time stamp in the gzip header, so the bytes do not change).
configure_file(${packaging}/shindan.6 ${CMAKE_BINARY_DIR}/packaging/shindan.6 @ONLY)
configure_file(${packaging}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
find_program(SHINDAN_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/shindan.6.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${SHINDAN_GZIP} -9nkf shindan.6 changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/shindan.6 ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(shindan-docs ALL
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/shindan.6.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/shindan.6.gz DESTINATION share/man/man6)
install(FILES ${packaging}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION share/doc/shindan)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shindan)
set(CPACK_PACKAGE_VERSION ${SHINDAN_VERSION})
set(CPACK_PACKAGE_CONTACT ${SHINDAN_CONTACT})
set(CPACK_PACKAGE_VENDOR "The shindan maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen personality-diagnosis game")
set(CPACK_PACKAGE_DESCRIPTION
    "After a short title sequence the game asks twelve questions, each a picture
with three answers, and draws an analysis of eight traits as gauges. The
scores are written to a text file in the player's own folder. It plays in
Japanese, or in English where the player's locale is not Japanese. It is
played with the keyboard or a gamepad.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened at run time, so no library dependency names them: the font the
# game writes with and the soundfont its music is played with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-mincho, fluid-soundfont-gm")
# Where F12 saves the screen: the desktop's pictures folder, ~/Pictures
# without it; and the speech server the game's words are said through,
# without which the game plays silently.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs, speech-dispatcher")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/deb-rebuild.cmake)
include(CPack)
