# Installation and the Debian package.
#
# Everything the program needs at run time lives in one program folder,
# <prefix>/lib/brolt/, exactly as in build/bin/: the executables find their
# shipped files beside themselves.  <prefix>/bin/brolt is a relative link to
# the launcher, so the installed tree can be moved or unpacked anywhere.

set(BROLT_INSTALL_PROGRAM_DIR lib/brolt)

install(TARGETS Brolt brolt-windows Brolt_Sched
        RUNTIME DESTINATION ${BROLT_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/
        DESTINATION ${BROLT_INSTALL_PROGRAM_DIR})
install(FILES ${BROLT_ICON_PNGS}
        DESTINATION ${BROLT_INSTALL_PROGRAM_DIR})

# The command on the PATH: made once at configure time, installed as a link.
set(BROLT_COMMAND_LINK ${CMAKE_BINARY_DIR}/packaging/brolt)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../${BROLT_INSTALL_PROGRAM_DIR}/Brolt ${BROLT_COMMAND_LINK} SYMBOLIC)
install(FILES ${BROLT_COMMAND_LINK} DESTINATION bin)

# Desktop integration: menu entry, icons, AppStream metadata.
set(BROLT_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${BROLT_PACKAGING_DIR}/nl.brolt.Brolt.desktop
        DESTINATION share/applications)
install(FILES ${BROLT_PACKAGING_DIR}/nl.brolt.Brolt.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${BROLT_PACKAGING_DIR}/icons/nl.brolt.Brolt.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${BROLT_PACKAGING_DIR}/icons/nl.brolt.Brolt-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME nl.brolt.Brolt.png)
endforeach()

# The manual page, compressed as Debian has them.
set(BROLT_MAN_PAGE ${CMAKE_BINARY_DIR}/packaging/brolt.1.gz)
add_custom_command(OUTPUT ${BROLT_MAN_PAGE}
                   COMMAND gzip -9nc ${BROLT_PACKAGING_DIR}/brolt.1 > ${BROLT_MAN_PAGE}
                   DEPENDS ${BROLT_PACKAGING_DIR}/brolt.1
                   VERBATIM)
add_custom_target(brolt_man ALL DEPENDS ${BROLT_MAN_PAGE})
install(FILES ${BROLT_MAN_PAGE} DESTINATION share/man/man1)

# Brolt_Sched starts at every login, for every user: the morning start needs
# it.  A user's own entry of the same name (written by the options window when
# the start-up box is turned off, with Hidden=true) overrides this one.
set(BROLT_SCHED_INSTALLED /usr/${BROLT_INSTALL_PROGRAM_DIR}/Brolt_Sched)
configure_file(${BROLT_PACKAGING_DIR}/Brolt_Sched.desktop.in
               ${CMAKE_BINARY_DIR}/packaging/Brolt_Sched.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/Brolt_Sched.desktop
        DESTINATION /etc/xdg/autostart)
# A file under /etc is the administrator's: dpkg keeps local changes to it.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "/etc/xdg/autostart/Brolt_Sched.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles)

# The Debian package: brolt_<version>_<arch>.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brolt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Brolt")
set(CPACK_PACKAGE_CONTACT "Brolt <${BROLT_SUPPORT_ADDRESS}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "verjaardagskalender: herinnert je aan verjaardagen en andere data")
set(CPACK_PACKAGE_DESCRIPTION
    "Brolt remembers the birthdays, weddings, jubilees, deaths, parties and to-do\n\
dates of the people around you. Every morning it shows what falls within the\n\
coming and the past days, one coloured Dutch sentence per event, and pops up a\n\
desktop notification when something falls on today or tomorrow.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${BROLT_SERVER_HOST}/")
# What the executables link, plus what Qt Multimedia loads at run time to play
# the MP3 melody and the WAV chime (the GStreamer back end on Qt 6.4).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 11), libgcc-s1 (>= 3.0), \
libqt6core6 (>= 6.4.2), libqt6gui6 (>= 6.4.2), libqt6widgets6 (>= 6.4.2), \
libqt6network6 (>= 6.4.2), libqt6printsupport6 (>= 6.4.2), libqt6dbus6 (>= 6.4.2), \
libqt6multimedia6 (>= 6.4.2), libjpeg62-turbo (>= 1.3.1), libqt6keychain1, \
gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, \
fonts-crosextra-carlito, qt6-translations-l10n")
# The desktop's own look, and the platform plug-ins beyond X11.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-gtk-platformtheme, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-writer | abiword, cups")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
