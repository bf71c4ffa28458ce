// The helper's wallpaper surfaces among the Shell's windows: taken out of
// sight where they are (transparent, not reactive, on every workspace, at the
// bottom, never focused), so that only their clones in the backgrounds show.
const {Meta} = imports.gi;
const Me = imports.misc.extensionUtils.getCurrentExtension();
const Rules = Me.imports.rules;

var WallpaperWindows = class {
    // `changed()` runs after the set of surfaces or a placement changed.
    constructor(changed) {
        this._changed = changed;
        this._helperPid = null;
        this._watched = new Map();  // every window: its signal ids
        this._taken = new Map();    // wallpaper windows: {actor, rect, opacity, reactive}
        this._lastFocus = null;
    }

    enable() {
        global.display.connectObject(
            'window-created', (display, window) => this._watch(window),
            'notify::focus-window', () => this._guardFocus(), this);
        for (const actor of global.get_window_actors())
            this._watch(actor.meta_window);
    }

    // Wayland surfaces are asked to close: the helper makes them anew when
    // the extension is back, and a transparent window never becomes an
    // ordinary one meanwhile. X11 desktop windows go back to what they were.
    disable() {
        global.display.disconnectObject(this);
        for (const window of [...this._taken.keys()])
            this._release(window, true);
        for (const window of this._watched.keys())
            window.disconnectObject(this);
        this._watched.clear();
        this._lastFocus = null;
    }

    setHelperPid(pid) {
        this._helperPid = pid;
        for (const window of this._watched.keys())
            this._evaluate(window);
    }

    // Taken, or about to be: a surface is one before it is first shown.
    isWallpaper(window) {
        return Boolean(window) && (this._taken.has(window) || this._matches(window));
    }

    _matches(window) {
        return Rules.isWallpaperWindow(
            {pid: window.get_pid(), wmClass: window.get_wm_class()}, this._helperPid);
    }

    // [{id, actor, rect}] for every surface with a placement and an actor.
    surfaces() {
        const result = [];
        for (const [window, taken] of this._taken) {
            if (taken.rect && taken.actor)
                result.push({id: window.get_id(), actor: taken.actor, rect: taken.rect});
        }
        return result;
    }

    _watch(window) {
        if (this._watched.has(window))
            return;
        this._watched.set(window, true);
        window.connectObject(
            'notify::title', () => this._evaluate(window),
            'notify::wm-class', () => this._evaluate(window),
            'shown', () => this._evaluate(window),
            'unmanaged', () => this._forget(window), this);
        this._evaluate(window);
    }

    _forget(window) {
        window.disconnectObject(this);
        this._watched.delete(window);
        if (this._lastFocus === window)
            this._lastFocus = null;
        if (this._taken.delete(window))
            this._changed();
    }

    _evaluate(window) {
        if (!this._matches(window)) {
            if (this._taken.has(window))
                this._release(window, false);
            return;
        }
        this._take(window);
    }

    _take(window) {
        const actor = window.get_compositor_private();
        let taken = this._taken.get(window);
        if (!taken) {
            taken = {actor: null, rect: null, opacity: 255, reactive: true};
            this._taken.set(window, taken);
            window.stick();
        }
        if (actor && taken.actor !== actor) {
            taken.actor = actor;
            taken.opacity = actor.opacity;
            taken.reactive = actor.reactive;
        }
        if (taken.actor) {
            taken.actor.opacity = 0;
            taken.actor.reactive = false;
        }
        window.lower();
        const rect = Rules.placementOf(window.get_title());
        // X11 desktop windows sit where they are shown; Wayland ones say where.
        taken.rect = rect ?? frameRect(window);
        if (rect)
            window.move_frame(false, rect.x, rect.y);
        if (window.has_focus())
            this._guardFocus();
        this._changed();
    }

    _release(window, closing) {
        const taken = this._taken.get(window);
        this._taken.delete(window);
        if (closing && window.get_client_type() === Meta.WindowClientType.WAYLAND) {
            window.delete(global.display.get_current_time_roundtrip());
        } else {
            if (taken.actor && !taken.actor.is_destroyed()) {
                taken.actor.opacity = taken.opacity;
                taken.actor.reactive = taken.reactive;
            }
            window.unstick();
        }
        this._changed();
    }

    // A new window takes the focus when it maps; a wallpaper hands it back
    // to the window that had it, or to none.
    _guardFocus() {
        const focus = global.display.focus_window;
        if (!focus || !this._taken.has(focus)) {
            this._lastFocus = focus;
            return;
        }
        const time = global.display.get_current_time_roundtrip();
        if (this._lastFocus && this._watched.has(this._lastFocus))
            this._lastFocus.focus(time);
        else
            global.display.unset_input_focus(time);
    }
};

function frameRect(window) {
    const {x, y, width, height} = window.get_frame_rect();
    return width > 0 && height > 0 ? {x, y, width, height} : null;
}
