// Keeps the wallpaper surfaces out of everything the Shell lists or animates:
// the overview's window picker and workspace thumbnails, Alt-Tab and the
// other switchers, the dash and running apps (and with them the Shell's
// window list on D-Bus), window and workspace-switch animations.
const {Meta, Shell} = imports.gi;
const Main = imports.ui.main;
const Workspace = imports.ui.workspace;
const WorkspaceAnimation = imports.ui.workspaceAnimation;
const WorkspaceThumbnail = imports.ui.workspaceThumbnail;

var ShellPatches = class {
    // `isWallpaper(metaWindow)` tells the helper's surfaces.
    constructor(isWallpaper) {
        this._isWallpaper = isWallpaper;
        this._restore = [];
    }

    enable() {
        const isWallpaper = this._isWallpaper;
        this._wrap(Shell.App.prototype, 'get_windows', original => function () {
            return original.call(this).filter(w => !isWallpaper(w));
        });
        // An app whose only windows are wallpapers is not running as far as
        // the dash, Alt-Tab and the Shell's window list are concerned.
        this._wrap(Shell.AppSystem.prototype, 'get_running', original => function () {
            return original.call(this).filter(app =>
                app.get_n_windows() === 0 || app.get_windows().length > 0);
        });
        this._wrap(Meta.Display.prototype, 'get_tab_list', original => function (...args) {
            return original.apply(this, args).filter(w => !isWallpaper(w));
        });
        this._wrap(Workspace.Workspace.prototype, '_isOverviewWindow', original => function (window) {
            return !isWallpaper(window) && original.call(this, window);
        });
        this._wrap(WorkspaceThumbnail.WorkspaceThumbnail.prototype, '_isOverviewWindow',
            original => function (actor) {
                return !isWallpaper(actor.meta_window) && original.call(this, actor);
            });
        this._wrap(WorkspaceAnimation.WorkspaceGroup.prototype, '_shouldShowWindow',
            original => function (window) {
                return !isWallpaper(window) && original.call(this, window);
            });
        // A map animation would fade the transparent surface back in.
        this._wrap(Main.wm, '_shouldAnimateActor', original => function (actor, types) {
            return !isWallpaper(actor.meta_window) && original.call(this, actor, types);
        });
    }

    disable() {
        for (const restore of this._restore.reverse())
            restore();
        this._restore = [];
    }

    // Replaces `object[name]` by `make(original)` until disable().
    _wrap(object, name, make) {
        const own = Object.prototype.hasOwnProperty.call(object, name);
        const original = object[name];
        object[name] = make(original);
        this._restore.push(() => {
            if (own)
                object[name] = original;
            else
                delete object[name];
        });
    }
};
