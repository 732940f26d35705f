# What `cmake --install` puts where. The program finds its resources relative to itself
# (bin/../share/keylume), so an install into any prefix, or under DESTDIR, runs as it is.
include(GNUInstallDirs)

install(TARGETS keylume RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY $<TARGET_FILE_DIR:keylume>/uires DESTINATION ${CMAKE_INSTALL_DATADIR}/keylume)
install(FILES ${PROJECT_SOURCE_DIR}/data/config.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/keylume)

# The driver set-up is only ever started from a root-owned place, which an installed copy is.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/driver/keylume-driver-setup
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/keylume)

# The udev rule is the one the set-up tool writes (it prints it with "rule"), so both agree. The
# package's copy has the same name as the tool's, so the tool's in /etc replaces it, never doubles.
set(keylume_rule ${PROJECT_BINARY_DIR}/70-keylume.rules)
add_custom_command(OUTPUT ${keylume_rule}
  COMMAND sh ${PROJECT_SOURCE_DIR}/driver/keylume-driver-setup rule > ${keylume_rule}
  DEPENDS ${PROJECT_SOURCE_DIR}/driver/keylume-driver-setup
  COMMENT "Writing the udev rule")
add_custom_target(keylume_udev_rule ALL DEPENDS ${keylume_rule})
# udev reads /usr/lib/udev/rules.d (or /lib/udev on an unmerged /usr) whatever the prefix.
set(KEYLUME_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule goes (below the prefix)")
set(KEYLUME_MODULES_LOAD_DIR "lib/modules-load.d" CACHE STRING "Where the uinput module line goes")
install(FILES ${keylume_rule} DESTINATION ${KEYLUME_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/modules-load.conf
        DESTINATION ${KEYLUME_MODULES_LOAD_DIR} RENAME keylume.conf)

# Desktop entry, AppStream data, man page and icons (the PNG sizes drawn from the SVG).
set(desk ${PROJECT_SOURCE_DIR}/data/desktop)
install(FILES ${desk}/org.keylume.Keylume.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desk}/org.keylume.Keylume.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The man page and the Debian changelog go in compressed, as Debian wants them.
find_program(GZIP gzip REQUIRED)
set(man_gz ${PROJECT_BINARY_DIR}/keylume.1.gz)
set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${man_gz} ${changelog_gz}
  COMMAND ${GZIP} -9nc ${desk}/keylume.1 > ${man_gz}
  COMMAND ${GZIP} -9nc ${desk}/changelog > ${changelog_gz}
  DEPENDS ${desk}/keylume.1 ${desk}/changelog
  COMMENT "Compressing the man page and the changelog")
add_custom_target(keylume_docs ALL DEPENDS ${man_gz} ${changelog_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${changelog_gz} ${desk}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${desk}/org.keylume.Keylume.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_pngs "")
foreach(size 16 24 32 48 64 128 256)
  set(png ${PROJECT_BINARY_DIR}/icons/${size}/org.keylume.Keylume.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${desk}/org.keylume.Keylume.svg -o ${png}
    DEPENDS ${desk}/org.keylume.Keylume.svg
    COMMENT "Drawing the ${size}px icon")
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(keylume_icons ALL DEPENDS ${icon_pngs})

# A Debian package from the same install: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME keylume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Keylume")
set(CPACK_PACKAGE_CONTACT "Keylume developers <maintainers@keylume.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lighting and key bindings for one USB gaming keyboard")
set(CPACK_PACKAGE_DESCRIPTION "Keylume sets the lighting effects and side-light modes of one USB\n\
gaming keyboard (1a2c:2d3e), reads its firmware version and gives any key\n\
a macro, another key, a media key or a key combination, which it carries\n\
out while it runs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://keylume.invalid/")
set(CPACK_STRIP_FILES ON)
include(CPack)
