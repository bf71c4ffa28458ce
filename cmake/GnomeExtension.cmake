# The GNOME Shell extension "Lumivo Wallpaper" (gnome-shell-extension/):
# installed in the module format of GNOME 43-44 as it stands in the source,
# and rewritten into the ES-module format of GNOME 45+ as a
# `gnome-extensions pack` zip in the build tree, with the rewritten files
# beside it for the tests. python3 only.
include(GNUInstallDirs)
set(LUMIVO_EXTENSION_UUID "lumivo-wallpaper@lumivo.app")
set(LUMIVO_EXTENSION_SOURCE "${PROJECT_SOURCE_DIR}/gnome-shell-extension")
file(GLOB LUMIVO_EXTENSION_SCRIPTS CONFIGURE_DEPENDS "${LUMIVO_EXTENSION_SOURCE}/*.js")
set(LUMIVO_EXTENSION_ESM "${CMAKE_BINARY_DIR}/gnome-shell-extension/esm")
set(LUMIVO_EXTENSION_ZIP "${CMAKE_BINARY_DIR}/${LUMIVO_EXTENSION_UUID}.shell-extension.zip")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(
  OUTPUT ${LUMIVO_EXTENSION_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${LUMIVO_EXTENSION_ESM}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/gnome-extension-esm.py
          ${LUMIVO_EXTENSION_SOURCE} ${LUMIVO_EXTENSION_ESM} ${LUMIVO_EXTENSION_ZIP}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/gnome-extension-esm.py
          ${LUMIVO_EXTENSION_SOURCE}/metadata.json ${LUMIVO_EXTENSION_SCRIPTS}
  COMMENT "GNOME Shell extension for GNOME 45+: ${LUMIVO_EXTENSION_UUID}.shell-extension.zip"
  VERBATIM)
add_custom_target(gnome-shell-extension ALL DEPENDS ${LUMIVO_EXTENSION_ZIP})

# System-wide, where GNOME Shell looks for extensions; it has no settings
# schema, so there is nothing to compile.
install(FILES ${LUMIVO_EXTENSION_SOURCE}/metadata.json ${LUMIVO_EXTENSION_SCRIPTS}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions/${LUMIVO_EXTENSION_UUID})
