// Lumivo Wallpaper: shows the live wallpaper that Lumivo Helper plays in the
// Shell's own backgrounds. The helper draws into ordinary windows of its own
// (app id / WM_CLASS "lumivo-wallpaper"); the extension hides them where
// they are and shows clones of them in the background of every monitor, in
// the overview and on every workspace, below the panel and all windows. It
// tells the helper over D-Bus which monitors nobody can see, so that the
// helper rests its decode.
const Me = imports.misc.extensionUtils.getCurrentExtension();
const Backdrops = Me.imports.backdrops;
const CoverageService = Me.imports.coverageService;
const HelperWatch = Me.imports.helperWatch;
const ShellPatches = Me.imports.shellPatches;
const WallpaperWindows = Me.imports.wallpaperWindows;

var LumivoWallpaper = class {
    enable() {
        this._windows = new WallpaperWindows.WallpaperWindows(() => this._backdrops?.refresh());
        const isWallpaper = window => this._windows.isWallpaper(window);
        this._backdrops = new Backdrops.Backdrops(() => this._windows.surfaces());
        this._patches = new ShellPatches.ShellPatches(isWallpaper);
        this._coverage = new CoverageService.CoverageService(isWallpaper);
        this._helper = new HelperWatch.HelperWatch(pid => this._windows.setHelperPid(pid));
        this._patches.enable();
        this._backdrops.enable();
        this._windows.enable();
        this._coverage.enable();
        this._helper.enable();
    }

    disable() {
        this._helper.disable();
        this._coverage.disable();
        this._windows.disable();
        this._backdrops.disable();
        this._patches.disable();
        this._helper = this._coverage = this._windows = this._backdrops = this._patches = null;
    }
};

// The Shell's entry point.
function init() {
    return new LumivoWallpaper();
}
