// The extension's D-Bus object on the Shell's connection (bus name
// org.gnome.Shell, path /app/lumivo/ShellWallpaper): which monitors nobody
// can see the wallpaper on, for the helper to rest the decode, and the
// monitor the user is looking at.
const {Gio, GLib, Meta} = imports.gi;
const Main = imports.ui.main;
const Me = imports.misc.extensionUtils.getCurrentExtension();
const Rules = Me.imports.rules;

var OBJECT_PATH = '/app/lumivo/ShellWallpaper';

const INTERFACE = `<node>
  <interface name="app.lumivo.ShellWallpaper">
    <!-- One entry per monitor, in the Shell's order: its logical x, y,
         width and height, and whether windows, the lock screen or a blank
         screen hide it. -->
    <property name="Monitors" type="a(iiiib)" access="read"/>
    <!-- The monitor under the pointer: x, y, width, height. -->
    <method name="ActiveMonitor">
      <arg name="geometry" type="(iiii)" direction="out"/>
    </method>
  </interface>
</node>`;

var CoverageService = class {
    // `isWallpaper(metaWindow)` tells the helper's surfaces, which cover nothing.
    constructor(isWallpaper) {
        this._isWallpaper = isWallpaper;
        this._object = null;
        this._monitors = [];
        this._idle = 0;
        this._windows = new Set();
    }

    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        const update = () => this._queueUpdate();
        global.display.connectObject('restacked', update, 'in-fullscreen-changed', update,
            'window-created', (display, window) => this._watch(window), this);
        for (const actor of global.get_window_actors())
            this._watch(actor.meta_window);
        global.workspace_manager.connectObject('active-workspace-changed', update, this);
        Main.layoutManager.connectObject('monitors-changed', update, this);
        Main.overview.connectObject('showing', update, 'hidden', update, this);
        Main.screenShield?.connectObject('locked-changed', update, 'active-changed', update, this);
        Main.sessionMode.connectObject('updated', update, this);
        this._monitors = this._compute();
    }

    disable() {
        for (const source of [global.display, global.workspace_manager, Main.layoutManager,
            Main.overview, Main.screenShield, Main.sessionMode])
            source?.disconnectObject(this);
        for (const window of this._windows)
            window.disconnectObject(this);
        this._windows.clear();
        if (this._idle)
            GLib.source_remove(this._idle);
        this._idle = 0;
        this._object?.unexport();
        this._object = null;
    }

    // A window's own changes (maximise, minimise, fullscreen) also restack
    // or resize; all of them are folded into one update per main loop pass.
    _watch(window) {
        this._windows.add(window);
        window.connectObject('size-changed', () => this._queueUpdate(),
            'notify::minimized', () => this._queueUpdate(),
            'workspace-changed', () => this._queueUpdate(),
            'unmanaged', () => {
                window.disconnectObject(this);
                this._windows.delete(window);
                this._queueUpdate();
            }, this);
        this._queueUpdate();
    }

    // Packed by the exported object itself, after the interface's signature.
    get Monitors() {
        return this._monitors;
    }

    ActiveMonitor() {
        const index = global.display.get_current_monitor();
        const m = Main.layoutManager.monitors[index] ?? Main.layoutManager.primaryMonitor;
        return m ? [m.x, m.y, m.width, m.height] : [0, 0, 0, 0];
    }

    _queueUpdate() {
        if (this._idle)
            return;
        this._idle = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
            this._idle = 0;
            const monitors = this._compute();
            if (JSON.stringify(monitors) !== JSON.stringify(this._monitors)) {
                this._monitors = monitors;
                this._object?.emit_property_changed('Monitors',
                    new GLib.Variant('a(iiiib)', monitors));
            }
            return GLib.SOURCE_REMOVE;
        });
    }

    _compute() {
        const active = global.workspace_manager.get_active_workspace();
        const windows = global.get_window_actors().map(a => a.meta_window).filter(w =>
            !this._isWallpaper(w) && !w.skip_taskbar &&
            w.get_window_type() !== Meta.WindowType.DESKTOP).map(w => ({
            monitor: w.get_monitor(),
            onActiveWorkspace: w.located_on_workspace(active),
            minimized: w.minimized,
            fullscreen: w.is_fullscreen(),
            maximized: w.get_maximized() === Meta.MaximizeFlags.BOTH,
        }));
        const shield = Main.screenShield;
        const monitors = Main.layoutManager.monitors;
        const covered = Rules.coveredMonitors(monitors.length, windows, {
            overview: Main.overview.visible,
            locked: Boolean(shield?.locked) || Main.sessionMode.isLocked,
            blanked: Boolean(shield?.active),
        });
        return monitors.map((m, i) => [m.x, m.y, m.width, m.height, covered[i]]);
    }
};
