# The Debian package of the program. Its library dependencies are computed from the built program
# by dpkg-shlibdeps; only what the program needs at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel-web)
set(CPACK_PACKAGE_VENDOR Ostrel)
set(CPACK_PACKAGE_CONTACT "Ostrel <info@ostrel.nl>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "One window with a header of destination buttons over an embedded web browser:\n the insurer's portal, remote workplace, forms, file exchange, downloads,\n service desk and remote support.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.ostrel.nl")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON) # the debugging symbols stay in the build (13 MB of the program's 14)
# Not linked, yet needed: the engine's renderer process, the X11 platform plugin, the opener of
# URLs and files (xdg-open), Qt's Dutch for its own dialogs, and libcurl, loaded for the first probe
# (named libcurl4t64 from Debian 13 on).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webenginecore6-bin, qt6-qpa-plugins, xdg-utils, qt6-translations-l10n, libcurl4 | libcurl4t64")
include(CPack)
