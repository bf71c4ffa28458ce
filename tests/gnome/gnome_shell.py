#!/usr/bin/python3
"""Asks the GNOME Shell on the session bus what the tests need to see.

The Shell answers its screenshot and window-list calls only to a few
well-known callers (the desktop portal, GNOME Screenshot); this client owns
their names first, as they would.

  gnome_shell.py screenshot FILE       the whole stage as a PNG
  gnome_shell.py windows               the Shell's window list, one window
                                       a line: "<id> <app-id> <wm-class> <title>"
  gnome_shell.py overview [on|off]     prints or sets whether the overview is open
  gnome_shell.py extension UUID        the extension's state number (none: "-")
  gnome_shell.py focus                 the title of the focused window, if any
  gnome_shell.py coverage              the wallpaper extension's monitors, one a line:
                                       "X Y WIDTH HEIGHT covered|visible"
"""
import sys

from gi.repository import Gio, GLib

CALLERS = ("org.freedesktop.impl.portal.desktop.gnome", "org.gnome.Screenshot")


def bus():
    connection = Gio.bus_get_sync(Gio.BusType.SESSION)
    for name in CALLERS:
        connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "RequestName",
                             GLib.Variant("(su)", (name, 4)), None, 0, 5000, None)
    return connection


def call(connection, path, interface, method, args=None, reply=None):
    return connection.call_sync("org.gnome.Shell", path, interface, method, args,
                                GLib.VariantType(reply) if reply else None, 0, 20000,
                                None).unpack()


def main(argv):
    connection = bus()
    command = argv[1] if len(argv) > 1 else ""
    if command == "screenshot":
        ok, _ = call(connection, "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
                     "Screenshot", GLib.Variant("(bbs)", (False, False, argv[2])), "(bs)")
        return 0 if ok else 1
    if command == "windows":
        (windows,) = call(connection, "/org/gnome/Shell/Introspect",
                          "org.gnome.Shell.Introspect", "GetWindows", None, "(a{ta{sv}})")
        for wid, props in sorted(windows.items()):
            print(wid, props.get("app-id", "-"), props.get("wm-class", "-"),
                  props.get("title", "-"), "focused" if props.get("has-focus") else "")
        return 0
    if command == "focus":
        (windows,) = call(connection, "/org/gnome/Shell/Introspect",
                          "org.gnome.Shell.Introspect", "GetWindows", None, "(a{ta{sv}})")
        for props in windows.values():
            if props.get("has-focus"):
                print(props.get("title", "-"))
        return 0
    if command == "overview":
        properties = ("org.gnome.Shell", "OverviewActive")
        if len(argv) > 2:
            call(connection, "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
                 GLib.Variant("(ssv)", properties + (GLib.Variant("b", argv[2] == "on"),)))
            return 0
        (active,) = call(connection, "/org/gnome/Shell", "org.freedesktop.DBus.Properties",
                         "Get", GLib.Variant("(ss)", properties), "(v)")
        print("on" if active else "off")
        return 0
    if command == "coverage":
        (monitors,) = call(connection, "/app/lumivo/ShellWallpaper",
                           "org.freedesktop.DBus.Properties", "Get",
                           GLib.Variant("(ss)", ("app.lumivo.ShellWallpaper", "Monitors")), "(v)")
        for x, y, width, height, covered in monitors:
            print(x, y, width, height, "covered" if covered else "visible")
        return 0
    if command == "extension":
        (info,) = call(connection, "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                       "GetExtensionInfo", GLib.Variant("(s)", (argv[2],)), "(a{sv})")
        print(int(info["state"]) if "state" in info else "-")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except GLib.Error as error:
        print(error.message, file=sys.stderr)
        sys.exit(1)
