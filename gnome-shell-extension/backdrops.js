// The wallpaper inside the Shell's own backgrounds: every background actor
// (the desktop's, the overview's workspaces', the workspace switch's) gets a
// layer above its picture that holds clones of the wallpaper surfaces, each
// where its placement puts it on that background's monitor.
const {Clutter, Meta} = imports.gi;
const Background = imports.ui.background;
const Main = imports.ui.main;
const Me = imports.misc.extensionUtils.getCurrentExtension();
const Rules = Me.imports.rules;

var Backdrops = class {
    // `surfaces()` lists the surfaces to show: [{id, actor, rect}].
    constructor(surfaces) {
        this._surfaces = surfaces;
        this._layers = new Map();  // background actor -> its layer
        this._originalCreate = null;
    }

    enable() {
        // Backgrounds come and go (monitors, overview, workspace switches, a
        // new picture): each new one is decorated as it is made.
        const proto = Background.BackgroundManager.prototype;
        const original = proto._createBackgroundActor;
        const self = this;
        this._originalCreate = original;
        proto._createBackgroundActor = function (...args) {
            const actor = original.apply(this, args);
            self._decorate(actor);
            return actor;
        };
        for (const actor of backgroundActors(global.stage))
            this._decorate(actor);
        Main.layoutManager.connectObject('monitors-changed', () => this.refresh(), this);
    }

    disable() {
        Main.layoutManager.disconnectObject(this);
        if (this._originalCreate)
            Background.BackgroundManager.prototype._createBackgroundActor = this._originalCreate;
        this._originalCreate = null;
        for (const [background, layer] of this._layers) {
            background.disconnectObject(this);
            layer.destroy();
        }
        this._layers.clear();
    }

    // Puts the current surfaces into every layer again.
    refresh() {
        for (const [background, layer] of this._layers)
            this._fill(background, layer);
    }

    _decorate(background) {
        if (this._layers.has(background))
            return;
        const layer = new Clutter.Actor({reactive: false, clip_to_allocation: true});
        background.add_child(layer);
        this._layers.set(background, layer);
        background.connectObject(
            'notify::allocation', () => this._fit(background, layer),
            'destroy', () => this._layers.delete(background), this);
        this._fill(background, layer);
    }

    _fill(background, layer) {
        layer.destroy_all_children();
        const monitor = Main.layoutManager.monitors[background.monitor];
        if (!monitor)
            return;
        const actors = new Map(this._surfaces().map(s => [s.id, s.actor]));
        for (const clone of Rules.clonesFor(monitor, this._surfaces())) {
            layer.add_child(new Clutter.Clone({
                source: actors.get(clone.id),
                x: clone.x, y: clone.y, width: clone.width, height: clone.height,
            }));
        }
        this._fit(background, layer);
    }

    // The layer is laid out in the monitor's own size and scaled with the
    // background: the overview shows backgrounds smaller than the monitor.
    _fit(background, layer) {
        const monitor = Main.layoutManager.monitors[background.monitor];
        if (!monitor || monitor.width <= 0 || monitor.height <= 0)
            return;
        const [width, height] = background.get_size();
        const scaleX = width > 0 ? width / monitor.width : 1;
        const scaleY = height > 0 ? height / monitor.height : 1;
        // Only changes: a new size would lay the background out again.
        if (layer.width !== monitor.width || layer.height !== monitor.height)
            layer.set_size(monitor.width, monitor.height);
        if (layer.scale_x !== scaleX || layer.scale_y !== scaleY)
            layer.set_scale(scaleX, scaleY);
    }
};

function backgroundActors(root) {
    const found = [];
    const walk = actor => {
        for (const child of actor.get_children()) {
            if (child instanceof Meta.BackgroundActor)
                found.push(child);
            else
                walk(child);
        }
    };
    walk(root);
    return found;
}
