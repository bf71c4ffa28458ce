#!/usr/bin/env bash
# Runs one program (e.g. a GoogleTest binary that needs X11) on a private Xvfb
# inside a private session bus, and exits with its status.
#   with-display.sh PROGRAM [ARGS...]      (screen size: E2E_SCREEN, 640x360)
source "$(dirname "$0")/lib.sh"
e2e_start_xvfb "${E2E_SCREEN:-640x360}"
"$@"
exit $?
