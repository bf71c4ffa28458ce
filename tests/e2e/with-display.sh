#!/usr/bin/env bash
# Runs one program (e.g. a GoogleTest binary that needs X11) on a private Xvfb
# inside a private session bus, and exits with its status.
#   with-display.sh PROGRAM [ARGS...]
# Set up by the environment:
#   E2E_SCREEN      the screen size (640x360), "none" for no X server
#   E2E_MONITORS    monitors to split the screen into, e.g. "1280x720+0+0 1280x720+1280+0"
#   E2E_WM          "openbox" to run that window manager
#   E2E_SYSTEM_BUS  "1" for a private system bus as well
source "$(dirname "$0")/lib.sh"
if [ "${E2E_SCREEN:-}" != none ]; then
    e2e_start_xvfb "${E2E_SCREEN:-640x360}"
fi
if [ -n "${E2E_MONITORS:-}" ]; then
    # shellcheck disable=SC2086 # a list of monitors
    e2e_split_monitors $E2E_MONITORS || exit 1
fi
if [ "${E2E_WM:-}" = openbox ]; then
    e2e_start_openbox
fi
if [ "${E2E_SYSTEM_BUS:-}" = 1 ]; then
    e2e_start_system_bus
fi
"$@"
exit $?
