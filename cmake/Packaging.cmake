# The Debian package: `cpack -G DEB` (or plain `cpack`) in the build directory
# writes lumivo-helper_<version>_<arch>.deb holding whatever `cmake --install`
# installs (lumivo-helper, lumivo, the desktop entry, the D-Bus service, the
# icon) under /usr. Library dependencies come from dpkg-shlibdeps; what the
# helper loads at run time is named here: the Qt plugin for its SVG icon, and
# libmpv, loaded when the first wallpaper plays.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivo-helper)
set(CPACK_PACKAGE_VENDOR Lumivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live video wallpapers from the Lumivo gallery")
set(CPACK_PACKAGE_DESCRIPTION "\
Lumivo Helper is a tray application that plays a short video muted and in an
endless loop behind the desktop icons. The Lumivo web gallery drives it with
lumivo://apply/<id> links. Videos are verified against the gallery's SHA-256
digests and cached. Includes the lumivo command-line tool for gallery
maintainers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumivo Helper maintainers <helper@${LUMIVO_WEB_ORIGIN}>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${LUMIVO_WEB_ORIGIN}/mac-helper/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libmpv2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/deb/postinst;${CMAKE_CURRENT_LIST_DIR}/deb/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
