#!/usr/bin/python3
"""A minimal StatusNotifier tray for tests, on the session bus.

  trayhost.py serve          act as org.kde.StatusNotifierWatcher and host
  trayhost.py items          print the registered items, one per line
  trayhost.py menu           print the first item's menu: "label<TAB>enabled<TAB>shortcut",
                             then <TAB>[x]/[ ] or (*)/( ) for checkable items; a submenu's
                             items follow it, each line prefixed "> "
  trayhost.py click LABEL    click the menu item with that label
  trayhost.py prop NAME      print a property of the first item (e.g. ToolTip, Title)

Qt reads the watcher through an introspecting proxy, so Introspect must list
the properties as well as the methods, or Qt never sees a host.
"""
import os
import sys

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
PROPS = "org.freedesktop.DBus.Properties"

INTROSPECT = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg direction="out" type="s"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="out" type="v"/></method>
    <method name="GetAll"><arg direction="in" type="s"/><arg direction="out" type="a{sv}"/></method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg direction="in" type="s" name="service"/></method>
    <method name="RegisterStatusNotifierHost"><arg direction="in" type="s" name="service"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, WATCHER_PATH)
        self.bus = bus
        self.items = []
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def owner_changed(self, name, old, new):
        if new == "":
            for item in [i for i in self.items if i.split("/")[0] == name]:
                self.items.remove(item)
                self.StatusNotifierItemUnregistered(item)

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return INTROSPECT

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        item = sender + service if service.startswith("/") else service + "/StatusNotifierItem"
        if item not in self.items:
            self.items.append(item)
            self.StatusNotifierItemRegistered(item)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, item):
        pass

    @dbus.service.signal(WATCHER)
    def StatusNotifierHostRegistered(self):
        pass


def serve():
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    host = dbus.service.BusName("org.kde.StatusNotifierHost-%d" % os.getpid(), bus)
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    watcher.StatusNotifierHostRegistered()
    print("trayhost ready", flush=True)
    GLib.MainLoop().run()
    del host, name


def first_item(bus):
    watcher = bus.get_object(WATCHER, WATCHER_PATH)
    items = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS)
    if not items:
        sys.exit("no tray item registered")
    service, _, path = str(items[0]).partition("/")
    return bus.get_object(service, "/" + path)


def item_prop(bus, name):
    return first_item(bus).Get("org.kde.StatusNotifierItem", name, dbus_interface=PROPS)


def menu_object(bus):
    item = first_item(bus)
    path = item.Get("org.kde.StatusNotifierItem", "Menu", dbus_interface=PROPS)
    return bus.get_object(item.bus_name, path)


def entries_of(children, depth=0):
    """(id, label, enabled, shortcut, check, depth) for each item, submenus flattened
    after their parent; check is "", "[ ]", "[x]" (checkmark) or "( )", "(*)" (radio)."""
    entries = []
    for child in children:
        ident, props, grandchildren = child
        if props.get("type") == "separator":
            entries.append((int(ident), "-", "", "", "", depth))
            continue
        label = str(props.get("label", "")).replace("&&", "\0").replace("&", "").replace("\0", "&")
        enabled = "1" if bool(props.get("enabled", True)) else "0"
        shortcut = "+".join("+".join(str(k) for k in combo) for combo in props.get("shortcut", []))
        toggle = str(props.get("toggle-type", ""))
        on = int(props.get("toggle-state", 0)) == 1
        check = {"checkmark": "[x]" if on else "[ ]", "radio": "(*)" if on else "( )"}.get(toggle, "")
        entries.append((int(ident), label, enabled, shortcut, check, depth))
        entries.extend(entries_of(grandchildren, depth + 1))
    return entries


def layout(bus):
    menu = menu_object(bus)
    _, (root_id, _, children) = menu.GetLayout(0, -1, [], dbus_interface="com.canonical.dbusmenu")
    return menu, entries_of(children)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    command = sys.argv[1]
    if command == "serve":
        return serve()
    bus = dbus.SessionBus()
    if command == "items":
        watcher = bus.get_object(WATCHER, WATCHER_PATH)
        for item in watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS):
            print(item)
    elif command == "menu":
        _, entries = layout(bus)
        for _, label, enabled, shortcut, check, depth in entries:
            fields = (label, enabled, shortcut) + ((check,) if check else ())
            print("> " * depth + ("\t".join(fields) if label != "-" else "-"))
    elif command == "click":
        menu, entries = layout(bus)
        matches = [e for e in entries if e[1] == sys.argv[2]]
        if not matches:
            sys.exit("no menu item %r" % sys.argv[2])
        menu.Event(matches[0][0], "clicked", dbus.Int32(0), dbus.UInt32(0),
                   dbus_interface="com.canonical.dbusmenu")
    elif command == "prop":
        value = item_prop(bus, sys.argv[2])
        if sys.argv[2] == "ToolTip":
            value = value[2]
        print(value)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
