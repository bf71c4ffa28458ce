#!/usr/bin/python3
"""Makes one org.freedesktop.Application.Open call on the running helper.

  open_uris.py PREFIX PAD COUNT   COUNT copies of PREFIX followed by PAD "a"s
"""
import sys

import dbus

prefix, pad, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
helper = dbus.SessionBus().get_object("app.lumivo.Helper", "/app/lumivo/Helper")
helper.Open([prefix + "a" * pad] * count, dbus.Dictionary({}, signature="sv"),
            dbus_interface="org.freedesktop.Application", timeout=60)
