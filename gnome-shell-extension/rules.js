// The decisions of the extension that need no Shell: which windows are the
// helper's wallpaper surfaces, where each one is shown, and which monitors
// windows cover. Plain data in, plain data out, so that gjs runs them in the
// unit tests.

// The app id (Wayland) or WM_CLASS (X11) of the helper's wallpaper surfaces.
var WALLPAPER_CLASS = 'lumivo-wallpaper';

// A window is a wallpaper surface only when it comes from the process that
// owns the helper's bus name and carries the wallpaper's class: a window of
// another program that merely calls itself so is never taken.
// `window`: {pid, wmClass}; `helperPid`: that owner's PID, or null.
function isWallpaperWindow(window, helperPid) {
    return Number.isInteger(helperPid) && helperPid > 0 &&
        window.pid === helperPid && window.wmClass === WALLPAPER_CLASS;
}

// Where the helper wants a surface shown: its title is
// "lumivo-wallpaper X Y WIDTH HEIGHT", the rectangle of the desktop (in the
// Shell's logical layout) that the surface's picture covers. Returns
// {x, y, width, height}, or null for any other title.
function placementOf(title) {
    const match = /^lumivo-wallpaper (-?\d{1,6}) (-?\d{1,6}) (\d{1,6}) (\d{1,6})$/.exec(title ?? '');
    if (!match)
        return null;
    const [x, y, width, height] = match.slice(1).map(Number);
    return width > 0 && height > 0 ? {x, y, width, height} : null;
}

// The part of each surface a monitor's background shows: for every surface
// ({id, rect}) whose rectangle meets `monitor` ({x, y, width, height}), the
// clone's rectangle relative to the monitor's top left corner. The clone may
// reach past the monitor's edges (a canvas spanning several monitors); the
// background clips it.
function clonesFor(monitor, surfaces) {
    const clones = [];
    for (const {id, rect} of surfaces) {
        if (!rect || rect.x >= monitor.x + monitor.width || rect.y >= monitor.y + monitor.height ||
            rect.x + rect.width <= monitor.x || rect.y + rect.height <= monitor.y)
            continue;
        clones.push({id, x: rect.x - monitor.x, y: rect.y - monitor.y,
            width: rect.width, height: rect.height});
    }
    return clones;
}

// Whether nobody can see the wallpaper on each monitor, in their order.
// `state`: {overview, locked, blanked}. `windows`: the other windows, each
// {monitor (index), onActiveWorkspace, minimized, fullscreen, maximized}
// (maximized: in both directions). The open overview shows the wallpaper on
// every monitor; the lock screen and a blanked screen hide it everywhere;
// otherwise a monitor is covered by a fullscreen or maximised window shown
// on the active workspace.
function coveredMonitors(monitorCount, windows, state) {
    const covered = new Array(monitorCount).fill(false);
    if (state.overview)
        return covered;
    if (state.locked || state.blanked)
        return covered.fill(true);
    for (const w of windows) {
        if (w.onActiveWorkspace && !w.minimized && (w.fullscreen || w.maximized) &&
            w.monitor >= 0 && w.monitor < monitorCount)
            covered[w.monitor] = true;
    }
    return covered;
}
