# The Debian package: `cpack -G DEB` (or plain `cpack`) in the build directory
# writes lumivo-helper_<version>_<arch>.deb holding whatever `cmake --install`
# installs under /usr, so a directory installed later (an extension, a
# wallpaper plugin) needs nothing here. Library dependencies come from
# dpkg-shlibdeps; what the helper loads at run time is named here: the Qt
# plugin for its SVG icon, and libmpv, loaded when the first wallpaper plays.
# tests/package/check-deb.sh holds the package to what lintian accepts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivo-helper)
set(CPACK_PACKAGE_VENDOR Lumivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live video wallpapers from the Lumivo gallery")
set(CPACK_PACKAGE_DESCRIPTION "\
Lumivo Helper is a tray application that plays a short video, muted and in an
endless loop, as the desktop wallpaper on X11 desktops and on Wayland
compositors that offer a background layer. The Lumivo web gallery applies a
wallpaper through lumivo:// links, which the helper's desktop entry handles.

Videos are downloaded over HTTPS, checked against the gallery's SHA-256
digests and cached. The video rests while windows cover it, the screen is
locked or the computer runs on battery.

The package also contains the lumivo command-line tool, with which gallery
maintainers check manifests and fetch wallpapers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb/prepare-package.cmake)
set(CPACK_LUMIVO_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_LUMIVO_PROJECT_ROOT "${LUMIVO_PROJECT_ROOT}")
# Directories CPack creates itself, as those cmake --install creates.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumivo Helper maintainers <helper@${LUMIVO_WEB_ORIGIN}>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${LUMIVO_WEB_ORIGIN}/mac-helper/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libmpv2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, desktop-file-utils, qt6-wayland")
# No maintainer scripts: the triggers of desktop-file-utils and
# hicolor-icon-theme update the desktop entry and icon caches, where installed.

include(CPack)
