# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package): the two programs, the help document, manual pages, the
# desktop entry with its icons and AppStream metadata, the bash completion,
# and the package's copyright and changelog.
include(GNUInstallDirs)

set(ZORVANE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/zorvane)
set(ZORVANE_METAINFO_ID io.github.zorvane.zorvane)

# The version is written in three places besides project(): they must agree.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^zorvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()
file(READ ${PROJECT_SOURCE_DIR}/data/zorvane.metainfo.xml metainfo)
string(REGEX MATCH "<release version=\"[^\"]*\"" metainfo_release "${metainfo}")
if(NOT metainfo_release STREQUAL "<release version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "data/zorvane.metainfo.xml's newest release is not ${PROJECT_VERSION}")
endif()

# Generated files; each needs a tool, without which it is left out with a
# note (scripts/deps.sh installs them all).
find_package(Python3 COMPONENTS Interpreter)
find_program(GZIP_PROGRAM gzip)
find_program(RSVG_CONVERT rsvg-convert)
set(generated "")
set(out ${CMAKE_CURRENT_BINARY_DIR}/share)

# Manual pages, written from the programs' own --help (and README.md's
# remote-control table), compressed as Debian wants them.
string(TIMESTAMP man_date "%B %Y" UTC)
set(man_programs "")
if(TARGET zorvane)
  list(APPEND man_programs zorvane)
endif()
if(TARGET zorvane-cli)
  list(APPEND man_programs zorvane-cli)
endif()
if(Python3_Interpreter_FOUND AND GZIP_PROGRAM)
  foreach(program ${man_programs})
    set(extra "")
    if(program STREQUAL "zorvane-cli")
      set(extra --commands ${PROJECT_SOURCE_DIR}/README.md)
    endif()
    add_custom_command(
      OUTPUT ${out}/man/${program}.1 ${out}/man/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/man
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_manpage.py
              $<TARGET_FILE:${program}> --name ${program} --date "${man_date}"
              --include ${PROJECT_SOURCE_DIR}/man/${program}.h2m ${extra}
              -o ${out}/man/${program}.1
      COMMAND ${GZIP_PROGRAM} -9nf -k ${out}/man/${program}.1
      DEPENDS ${program} ${PROJECT_SOURCE_DIR}/tools/make_manpage.py
              ${PROJECT_SOURCE_DIR}/man/${program}.h2m ${PROJECT_SOURCE_DIR}/README.md
      COMMENT "Writing the manual page ${program}(1)"
      VERBATIM)
    list(APPEND generated ${out}/man/${program}.1.gz)
    install(FILES ${out}/man/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(STATUS "python3 or gzip not found: no manual pages")
endif()

# The icon as PNGs in the sizes desktops look for, beside the scalable one.
if(RSVG_CONVERT)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${out}/icons/${size}x${size}/zorvane.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size}
              ${PROJECT_SOURCE_DIR}/data/zorvane.svg -o ${png}
      DEPENDS ${PROJECT_SOURCE_DIR}/data/zorvane.svg
      VERBATIM)
    list(APPEND generated ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(STATUS "rsvg-convert not found: the icon is installed as SVG only")
endif()

if(GZIP_PROGRAM)
  add_custom_command(
    OUTPUT ${out}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${out}/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
  list(APPEND generated ${out}/changelog.gz)
  install(FILES ${out}/changelog.gz DESTINATION ${ZORVANE_DOCDIR})
endif()
add_custom_target(installed_files ALL DEPENDS ${generated})

if(TARGET zorvane)
  install(TARGETS zorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET zorvane-cli)
  install(TARGETS zorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The help document under its own name, and under the name the program looks
# for as a link to it: a browser given the link's target sees an HTML file.
file(MAKE_DIRECTORY ${out})
file(CREATE_LINK ZorvaneHelp.html ${out}/ZorvaneHelp.chm SYMBOLIC)
install(FILES doc/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvane RENAME ZorvaneHelp.html)
install(FILES ${out}/ZorvaneHelp.chm DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvane)

install(FILES data/zorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/zorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/zorvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${ZORVANE_METAINFO_ID}.metainfo.xml)
install(FILES data/zorvane-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zorvane-cli)
install(FILES packaging/copyright DESTINATION ${ZORVANE_DOCDIR})

# The Debian package. Its dependencies are worked out from the programs'
# shared libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvane)
set(CPACK_PACKAGE_VENDOR "the Zorvane authors")
set(CPACK_PACKAGE_CONTACT "Zorvane maintainers <maintainers@zorvane.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS pavucontrol)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "audio function generator, spectrum analyzer and sweep
Zorvane turns the sound card into a small audio laboratory in one window:
a tone generator (sine, square, triangle or noise, by frequency or by
musical note), a real-time FFT spectrum analyzer fed by the sound card or a
WAV file (line or bar graph, waterfall, time trace, markers, averaging, peak
hold) and a stepped frequency-response sweep with calibration.
.
zorvane-cli drives the same instrument without a window: scripts of
commands, batch analysis of WAV files, tones and recordings.")
include(CPack)
