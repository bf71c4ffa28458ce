// Follows the process that owns the helper's bus name, the only one whose
// windows may become the wallpaper.
const {Gio, GLib} = imports.gi;

var HELPER_BUS_NAME = 'app.lumivo.Helper';

// Calls `changed(pid)` with the PID of the name's owner whenever it changes,
// and with null while nobody owns the name. An answer that arrives after the
// owner changed again is dropped.
var HelperWatch = class {
    constructor(changed) {
        this._changed = changed;
        this._owner = null;
        this._watch = 0;
    }

    enable() {
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, HELPER_BUS_NAME,
            Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => this._appeared(connection, owner),
            () => this._vanished());
    }

    disable() {
        if (this._watch)
            Gio.bus_unwatch_name(this._watch);
        this._watch = 0;
        this._owner = null;
    }

    _appeared(connection, owner) {
        this._owner = owner;
        connection.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetConnectionUnixProcessID', new GLib.Variant('(s)', [owner]),
            new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (c, result) => {
                let pid = null;
                try {
                    [pid] = c.call_finish(result).deepUnpack();
                } catch (e) {
                    logError(e, 'Lumivo Wallpaper: cannot tell the helper\'s process');
                }
                if (this._owner === owner)
                    this._changed(pid);
            });
    }

    _vanished() {
        this._owner = null;
        this._changed(null);
    }
};
