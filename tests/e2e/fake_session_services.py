#!/usr/bin/python3
"""Small stand-ins for the desktop services that tell whether anyone can see
the wallpaper: logind (a session with LockedHint) and UPower (OnBattery) on the
system bus, org.freedesktop.ScreenSaver (GetActive, ActiveChanged) on the
session bus. Run it on private buses only (DBUS_SYSTEM_BUS_ADDRESS).

    fake_session_services.py [--without logind,upower,screensaver]
                             [--locked] [--screensaver] [--battery]

It prints "ready" once it owns its names, then reads line commands and answers
each with "ok" (or "error ..."):
    lock | unlock                logind's LockedHint
    screensaver on | off         the screensaver's ActiveChanged
    battery on | off             UPower's OnBattery
    sleep | wake                 logind's PrepareForSleep(true), PrepareForSleep(false)
End of input ends it, which releases the names.
"""
import argparse
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPS = "org.freedesktop.DBus.Properties"
SESSION_PATH = "/org/freedesktop/login1/session/_31"


class PropertyObject(dbus.service.Object):
    """An object with one interface of Boolean properties that announces changes."""

    def __init__(self, bus, path, interface, values):
        super().__init__(bus, path)
        self.interface = interface
        self.values = values

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != self.interface or name not in self.values:
            raise dbus.exceptions.DBusException(
                "no such property", name="org.freedesktop.DBus.Error.UnknownProperty")
        return dbus.Boolean(self.values[name])

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {k: dbus.Boolean(v) for k, v in self.values.items()}

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def set(self, name, value):
        if self.values[name] != value:
            self.values[name] = value
            self.PropertiesChanged(self.interface, {name: dbus.Boolean(value)}, [])


class LoginManager(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.login1.Manager", signature="b")
    def PrepareForSleep(self, start):
        pass

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="u", out_signature="o")
    def GetSessionByPID(self, pid):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="s", out_signature="o")
    def GetSession(self, session_id):
        return dbus.ObjectPath(SESSION_PATH)


class ScreenSaver(dbus.service.Object):
    IFACE = "org.freedesktop.ScreenSaver"

    def __init__(self, bus, active):
        super().__init__(bus, "/org/freedesktop/ScreenSaver")
        self.active = active

    @dbus.service.method(IFACE, out_signature="b")
    def GetActive(self):
        return self.active

    @dbus.service.signal(IFACE, signature="b")
    def ActiveChanged(self, active):
        pass

    def set(self, active):
        if self.active != active:
            self.active = active
            self.ActiveChanged(active)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--without", default="")
    parser.add_argument("--locked", action="store_true")
    parser.add_argument("--screensaver", action="store_true")
    parser.add_argument("--battery", action="store_true")
    args = parser.parse_args()
    without = set(filter(None, args.without.split(",")))

    DBusGMainLoop(set_as_default=True)
    keep = []  # bus names are released when their objects go
    session_obj = saver = upower = manager = None
    if "logind" not in without:
        system = dbus.SystemBus()
        keep.append(dbus.service.BusName("org.freedesktop.login1", system))
        manager = LoginManager(system, "/org/freedesktop/login1")
        session_obj = PropertyObject(system, SESSION_PATH, "org.freedesktop.login1.Session",
                                     {"LockedHint": args.locked})
    if "upower" not in without:
        system = dbus.SystemBus()
        keep.append(dbus.service.BusName("org.freedesktop.UPower", system))
        upower = PropertyObject(system, "/org/freedesktop/UPower", "org.freedesktop.UPower",
                                {"OnBattery": args.battery})
    if "screensaver" not in without:
        session = dbus.SessionBus()
        keep.append(dbus.service.BusName("org.freedesktop.ScreenSaver", session))
        saver = ScreenSaver(session, args.screensaver)

    commands = {
        "lock": lambda: session_obj.set("LockedHint", True),
        "unlock": lambda: session_obj.set("LockedHint", False),
        "screensaver on": lambda: saver.set(True),
        "screensaver off": lambda: saver.set(False),
        "battery on": lambda: upower.set("OnBattery", True),
        "battery off": lambda: upower.set("OnBattery", False),
        "sleep": lambda: manager.PrepareForSleep(True),
        "wake": lambda: manager.PrepareForSleep(False),
    }
    loop = GLib.MainLoop()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        command = commands.get(line.strip())
        try:
            if command is None:
                raise ValueError("unknown command")
            command()
            print("ok", flush=True)
        except (AttributeError, ValueError) as error:  # a service left out, a typo
            print(f"error {error}", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    print("ready", flush=True)
    loop.run()


if __name__ == "__main__":
    main()
