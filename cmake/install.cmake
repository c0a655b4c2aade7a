# Installation and the Debian package. `cmake --install` lays Orvane out as
# Debian places a game; `cpack -G DEB` packs that layout under /usr.
include(GNUInstallDirs)

# Debian keeps games in games/, their data under share/games/ and their
# manual pages in section 6; the content tool is an ordinary program.
set(ORVANE_INSTALL_GAMEDIR games CACHE STRING "Folder of the orvane executable, relative to the prefix")
set(ORVANE_INSTALL_TABLEDIR ${CMAKE_INSTALL_DATAROOTDIR}/games/orvane
    CACHE STRING "Folder of the installed tables, relative to the prefix")
set(ORVANE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane)

# The engine looks for the installed tables relative to its own executable,
# so an installed tree works wherever it is unpacked.
file(RELATIVE_PATH tables_from_executable /${ORVANE_INSTALL_GAMEDIR} /${ORVANE_INSTALL_TABLEDIR})
target_compile_definitions(orvane PRIVATE ORVANE_TABLES_FROM_EXECUTABLE="${tables_from_executable}")

install(TARGETS orvane RUNTIME DESTINATION ${ORVANE_INSTALL_GAMEDIR})
if(TARGET orvane-pack)
  install(TARGETS orvane-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Every folder of games/ is a table that the build packs into
# ${CMAKE_BINARY_DIR}/<folder>; each is installed as one folder. The build's
# own save.dat holds whoever played there, so it stays behind; a save.dat in
# the table's sources is shipped as the starting point of every player's.
file(GLOB table_sources LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/games/*)
foreach(source ${table_sources})
  if(NOT IS_DIRECTORY ${source})
    continue()
  endif()
  get_filename_component(table ${source} NAME)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/${table} DESTINATION ${ORVANE_INSTALL_TABLEDIR}
          PATTERN save.dat EXCLUDE PATTERN save.dat.tmp EXCLUDE)
  if(EXISTS ${source}/save.dat)
    install(FILES ${source}/save.dat DESTINATION ${ORVANE_INSTALL_TABLEDIR}/${table})
  endif()
endforeach()

# A menu entry for every table, each written by orvane-desktop-entry with the
# name `orvane -list` prints. The default table's entry is orvane.desktop
# with the engine's icon, its bumper art; another table's is
# orvane-<table>.desktop, with its own icon when it ships an icon.png.
add_executable(orvane-desktop-entry ${CMAKE_SOURCE_DIR}/dist/desktop_entry.cpp)
target_link_libraries(orvane-desktop-entry PRIVATE orvane_base)
if(TARGET default_table)
  add_executable(orvane-icon ${CMAKE_SOURCE_DIR}/dist/icon.cpp)
endif()
set(menu_files)
foreach(source ${table_sources})
  if(NOT IS_DIRECTORY ${source})
    continue()
  endif()
  get_filename_component(table ${source} NAME)
  set(entry orvane-${table})
  set(icon orvane)
  set(art)
  set(art_depends)
  if(table STREQUAL "default")
    set(entry orvane)
    set(art ${CMAKE_BINARY_DIR}/games/default-stage/images/bumper.png)
    set(art_depends ${CMAKE_BINARY_DIR}/games/default-stage/generated.stamp)
  elseif(EXISTS ${source}/icon.png)
    set(icon orvane-${table})
    set(art ${source}/icon.png)
    set(art_depends ${art})
  endif()
  if(art AND TARGET orvane-icon)
    foreach(size 32 48 64)
      set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${icon}.png)
      add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND orvane-icon ${art} ${size} ${png}
        DEPENDS orvane-icon ${art_depends}
        VERBATIM)
      list(APPEND menu_files ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  endif()
  set(desktop ${CMAKE_BINARY_DIR}/dist/${entry}.desktop)
  add_custom_command(
    OUTPUT ${desktop}
    COMMAND orvane-desktop-entry ${table} ${icon} ${desktop}
    DEPENDS orvane-desktop-entry
    VERBATIM)
  list(APPEND menu_files ${desktop})
  install(FILES ${desktop} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
endforeach()
add_custom_target(orvane_menu ALL DEPENDS ${menu_files})
if(TARGET default_table)
  add_dependencies(orvane_menu default_table)
endif()

# Manual pages, compressed as Debian ships them (-n: no name or time
# stamp inside, so the package is the same from build to build).
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(man_pages)
foreach(page orvane.6 orvane-pack.1)
  string(REGEX REPLACE ".*\\." "" section ${page})
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${CMAKE_SOURCE_DIR}/dist/${page} > ${gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/dist/${page})
  list(APPEND man_pages ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(orvane_man_pages ALL DEPENDS ${man_pages})

# The docs, with their images where the pages' links expect them.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${ORVANE_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs DESTINATION ${ORVANE_DOCDIR})

# The changelog's newest entry is the release: its version, its maintainer
# and its date are the package's, the copyright file's and the metainfo's.
file(STRINGS ${CMAKE_SOURCE_DIR}/dist/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
string(REGEX MATCH "^orvane \\(([^)]+)\\)" _ "${changelog_head}")
set(ORVANE_VERSION ${CMAKE_MATCH_1})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(month -1)
foreach(line ${changelog_lines})
  if(line MATCHES "^ -- (.+>)  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(ORVANE_MAINTAINER ${CMAKE_MATCH_1})
    set(day ${CMAKE_MATCH_2})
    set(year ${CMAKE_MATCH_4})
    list(FIND months ${CMAKE_MATCH_3} month)
    break()
  endif()
endforeach()
math(EXPR month "${month} + 1")
if(NOT ORVANE_VERSION OR NOT ORVANE_MAINTAINER OR month LESS 1)
  message(FATAL_ERROR "dist/changelog: the first entry has no version, maintainer line or date")
endif()
if(month LESS 10)
  set(month 0${month})
endif()
set(ORVANE_RELEASE_DATE ${year}-${month}-${day})

# Debian wants the licence as a copyright file, the changelog compressed
# (-n: the package stays the same from build to build), and AppStream's
# metainfo for the software centres.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " ORVANE_LICENSE_PARAGRAPH " ${licence}")
configure_file(${CMAKE_SOURCE_DIR}/dist/copyright.in ${CMAKE_BINARY_DIR}/dist/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/dist/orvane.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/dist/org.orvane.orvane.metainfo.xml @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/dist/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${CMAKE_SOURCE_DIR}/dist/changelog > ${CMAKE_BINARY_DIR}/dist/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/dist/changelog)
add_custom_target(orvane_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/dist/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/dist/copyright ${CMAKE_BINARY_DIR}/dist/changelog.gz
              ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${ORVANE_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/dist/org.orvane.orvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
# orvane-pack builds tables; it is no game, so it stays in bin/ as Debian's
# games policy asks of such tools, and lintian is told so.
install(FILES ${CMAKE_SOURCE_DIR}/dist/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${ORVANE_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "physics-driven pinball table engine")
set(CPACK_PACKAGE_DESCRIPTION "\
Orvane plays two-dimensional pinball tables: ODE physics at 300 steps a
second, the rules of each table in Lua, sprites and a dot-matrix display
drawn with OpenGL, sound and music through SDL_mixer. It comes with a
complete default table and orvane-pack, the tool that builds the content
archive of a new table.")
# SDL opens libGL.so.1 itself when it makes the OpenGL window, so no
# executable names it and the library scan below cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# dpkg-shlibdeps names the runtime libraries the executables link, as
# Debian's own packages would.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
