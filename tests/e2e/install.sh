#!/usr/bin/env bash
# Installs the helper into a temporary prefix and uses it the way a desktop
# does: the lumivo:// handler through xdg-mime/xdg-open, and D-Bus activation
# of app.lumivo.Helper through the installed service file.
#
#   install.sh BUILD_DIR
BUILD=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

PREFIX=$E2E_TMP/prefix
LOG=$E2E_TMP/activated.log
cmake --install "$BUILD" --prefix "$PREFIX" >"$E2E_TMP/install.out" 2>&1 ||
    { cat "$E2E_TMP/install.out"; exit 1; }

service_exec() { grep -qxF "Exec=$PREFIX/bin/lumivo-helper --gapplication-service" \
    "$PREFIX/share/dbus-1/services/app.lumivo.Helper.service"; }
verify "launcher installed" test -x "$PREFIX/bin/lumivo-helper"
verify "helper installed" test -x "$PREFIX/libexec/lumivo-helper-app"
verify "icon installed" test -s "$PREFIX/share/icons/hicolor/scalable/apps/app.lumivo.Helper.svg"
verify "desktop entry is valid" desktop-file-validate "$PREFIX/share/applications/app.lumivo.Helper.desktop"
verify "service file names the installed launcher" service_exec
EXTENSION=$PREFIX/share/gnome-shell/extensions/lumivo-wallpaper@lumivo.app
extension_installed() {
    jq -e '.uuid == "lumivo-wallpaper@lumivo.app" and ."shell-version" == ["43", "44"]' \
        "$EXTENSION/metadata.json" >/dev/null &&
        diff -r "$(dirname "$0")/../../gnome-shell-extension" "$EXTENSION"
}
verify "the GNOME Shell extension is installed as GNOME 43 and 44 load it" extension_installed

e2e_start_xvfb 640x360
mkdir -p "$XDG_CONFIG_HOME/Lumivo"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"
export PATH="$PREFIX/bin:$PATH"
export XDG_DATA_DIRS="$PREFIX/share:/usr/share"

# A bus of its own that reads the installed service file; the helper it starts
# writes its log to that bus's stderr.
activated() { grep -qxF "[LumivoHelper] $1" "$LOG"; }
call() { gdbus call --session --dest app.lumivo.Helper --object-path /app/lumivo/Helper \
    --method "org.freedesktop.Application.$1" "${@:2}" >/dev/null; }
session() {
    call Open "['lumivo://ping']" "{}" &&
        e2e_wait_for 15 activated ping &&
        xdg-mime default app.lumivo.Helper.desktop x-scheme-handler/lumivo &&
        [ "$(xdg-mime query default x-scheme-handler/lumivo)" = app.lumivo.Helper.desktop ] &&
        xdg-open lumivo://stop &&
        e2e_wait_for 15 activated "Stopped wallpaper" &&
        call ActivateAction quit "[]" "{}"
}
export -f session call activated e2e_wait_for
export LOG
dbus-run-session -- bash -c session 2>"$LOG"
status=$?
verify "D-Bus activation, xdg-open and ActivateAction quit" test "$status" -eq 0
verify "the activated helper said ping" activated ping
verify "xdg-open reached it through the desktop entry" activated "Stopped wallpaper"
e2e_finish
