# Installing on Linux, and the Debian package (`cpack -G DEB`).
#
# `cmake --install` puts the programs in bin/, the shipped maze and texture in
# share/pathwick/ (where the programs find them from their own bin/ when the
# working directory has none), the message catalogs in share/locale/ (found
# the same way), the menu entry, icons, AppStream metadata, man pages and the
# Debian copyright and changelog under share/.

include(GNUInstallDirs)

set(PATHWICK_PACKAGE_MAINTAINER "Pathwick maintainers <maintainers@pathwick.invalid>"
    CACHE STRING "The Debian package's Maintainer field")

find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
set(PATHWICK_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${PATHWICK_PACKAGING_OUT})
set(PATHWICK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/pathwick)

# The package's programs are stripped (CPACK_STRIP_FILES, as `cmake --install
# --strip`) with CMAKE_STRIP. Plain strip keeps the compiler's .comment and
# the .note section; Debian drops them too, as dh_strip does, so CMAKE_STRIP
# becomes a script that asks for that.
if(CMAKE_STRIP)
  set(pathwick_strip_script ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/strip-for-debian)
  file(WRITE ${pathwick_strip_script}
       "#!/bin/sh\nexec '$CACHE{CMAKE_STRIP}' --remove-section=.comment --remove-section=.note \"$@\"\n")
  file(COPY ${pathwick_strip_script} DESTINATION ${PATHWICK_PACKAGING_OUT}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                        WORLD_EXECUTE)
  set(CMAKE_STRIP ${PATHWICK_PACKAGING_OUT}/strip-for-debian)
endif()

# The man page of `target` in `section`, made from its --help output and the
# sections of the include file packaging/<target>.h2m (or the file given
# after INCLUDE), compressed as Debian wants it (-n: no name or time stamp in
# the header).
function(pathwick_add_man_page target section summary)
  cmake_parse_arguments(PARSE_ARGV 3 man "" "INCLUDE" "")
  if(NOT man_INCLUDE)
    set(man_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${target}.h2m)
  endif()
  set(page ${PATHWICK_PACKAGING_OUT}/${target}.${section})
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${HELP2MAN} --no-info --section=${section} --name=${summary}
            --version-string=${PROJECT_VERSION} --include=${man_INCLUDE} --output=${page}
            $<TARGET_FILE:${target}>
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${target} ${man_INCLUDE}
    COMMENT "Writing the man page ${target}.${section}"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()

install(TARGETS pathwick-trace RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
pathwick_add_man_page(pathwick-trace 1 "run the Pathwick maze search without a display")
install(TARGETS pathwick-maze RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
pathwick_add_man_page(pathwick-maze 1 "write a new random maze for Pathwick")

if(PATHWICK_DESKTOP)
  install(TARGETS pathwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  pathwick_add_man_page(pathwick 6 "animate a depth-first search of a maze")
  install(TARGETS pathwick-record RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  pathwick_add_man_page(pathwick-record 1 "record a Pathwick maze search as an animated GIF")
  install(FILES data/MazeMap.txt data/Stone.BMP DESTINATION ${CMAKE_INSTALL_DATADIR}/pathwick)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/locale/ DESTINATION ${CMAKE_INSTALL_LOCALEDIR})
  install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME pathwick)

  install(FILES packaging/pathwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/org.pathwick.Pathwick.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The icon in every size that make-icons wrote, pathwick-<size>.png.
  file(GLOB PATHWICK_ICONS CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons
       ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons/pathwick-*.png)
  foreach(icon ${PATHWICK_ICONS})
    string(REGEX REPLACE "^pathwick-([0-9]+)\\.png$" "\\1" size ${icon})
    install(FILES packaging/icons/${icon}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pathwick.png)
  endforeach()
endif()

# The package's changelog, compressed like the man pages.
add_custom_command(
  OUTPUT ${PATHWICK_PACKAGING_OUT}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
          ${PATHWICK_PACKAGING_OUT}/changelog
  COMMAND ${GZIP} -9nf ${PATHWICK_PACKAGING_OUT}/changelog
  DEPENDS packaging/changelog
  VERBATIM)
add_custom_target(pathwick_changelog ALL DEPENDS ${PATHWICK_PACKAGING_OUT}/changelog.gz)
install(FILES packaging/copyright ${PATHWICK_PACKAGING_OUT}/changelog.gz
        DESTINATION ${PATHWICK_DOC_DIR})

# --- The Debian package: pathwick_<version>_amd64.deb --------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pathwick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated depth-first search of a maze")
set(CPACK_PACKAGE_DESCRIPTION
    "Pathwick animates a depth-first search of a 10 x 10 maze in OpenGL. A red
arrow explores it one small step per frame: it turns, looks at the cell
ahead, moves on, marks its trail and the dead ends it backs out of, and says
in one line what it is doing, until it finds the exit or knows there is none.
It runs in a framed window with a menu bar or full screen.

The package also holds pathwick-trace, which runs the same search without a
display and prints every frame, pathwick-record, which draws the search
offscreen, with no display, and writes it as an animated GIF, and
pathwick-maze, which writes new random mazes.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PATHWICK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries; the menu's and boxes' Chinese texts
# need a CJK font, which nothing links against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-wqy-microhei)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package test: builds the package, unpacks it into a scratch folder,
# validates it and starts the program from its menu entry under Xvfb.
if(PATHWICK_TESTS AND PATHWICK_DESKTOP)
  add_test(NAME package
           COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_test.py
                   ${CMAKE_CPACK_COMMAND} ${CMAKE_CURRENT_BINARY_DIR}/CPackConfig.cmake
                   ${CMAKE_CURRENT_SOURCE_DIR}/data)
  set_tests_properties(package PROPERTIES TIMEOUT 300 LABELS package)
endif()
