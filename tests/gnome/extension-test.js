// The Lumivo Wallpaper extension outside the Shell, under gjs: its pure
// rules (which windows are the helper's, where each is shown, what covers a
// monitor), and a parse of every file of one flavour:
//   gjs -m extension-test.js legacy DIR   the GNOME 43-44 files (scripts)
//   gjs -m extension-test.js module DIR   the GNOME 45+ files (ES modules),
//                                         linked against stand-ins for the
//                                         Shell's modules
// Prints one "ok"/"FAIL" line per check; exits 1 on any failure.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [flavour, dir] = ARGV;
let failed = 0;
function check(name, ok, detail = '') {
    print(`${ok ? 'ok' : 'FAIL'} - ${name}${ok ? '' : ` ${detail}`}`);
    if (!ok)
        failed++;
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);
const read = path => new TextDecoder().decode(GLib.file_get_contents(path)[1]);
const files = [];
const listing = Gio.File.new_for_path(dir).enumerate_children('standard::name', 0, null);
for (let info; (info = listing.next_file(null));) {
    if (info.get_name().endsWith('.js'))
        files.push(info.get_name());
}

let Rules;
if (flavour === 'legacy') {
    imports.searchPath.unshift(dir);
    Rules = imports.rules;
} else {
    Rules = await import(`file://${dir}/rules.js`);
}

// ---- which windows are wallpaper surfaces ----------------------------------
const ours = {pid: 4242, wmClass: 'lumivo-wallpaper'};
check('a window of the helper with the wallpaper class is taken',
    Rules.isWallpaperWindow(ours, 4242));
check('a window named like ours from another process is not',
    !Rules.isWallpaperWindow({pid: 777, wmClass: 'lumivo-wallpaper'}, 4242));
check('nor another window of the helper (its alerts)',
    !Rules.isWallpaperWindow({pid: 4242, wmClass: 'lumivo-helper-app'}, 4242));
check('nor any window while no helper owns the bus name',
    !Rules.isWallpaperWindow(ours, null) && !Rules.isWallpaperWindow({pid: 0, wmClass: 'lumivo-wallpaper'}, 0));

// ---- where a surface is shown ------------------------------------------------
check('a placement is read from the title',
    same(Rules.placementOf('lumivo-wallpaper 1280 0 1024 768'), {x: 1280, y: 0, width: 1024, height: 768}));
check('negative positions are placements too',
    same(Rules.placementOf('lumivo-wallpaper -1920 -10 1920 1080'), {x: -1920, y: -10, width: 1920, height: 1080}));
for (const title of [null, '', 'lumivo-wallpaper', 'lumivo-wallpaper 0 0 0 720',
    'lumivo-wallpaper 0 0 1280 720 extra', 'xlumivo-wallpaper 0 0 1280 720',
    'lumivo-wallpaper 0 0 1280 9999999'])
    check(`no placement in ${JSON.stringify(title)}`, Rules.placementOf(title) === null);

const first = {x: 0, y: 0, width: 1280, height: 720};
const second = {x: 1280, y: 0, width: 1024, height: 768};
const each = [{id: 1, rect: first}, {id: 2, rect: second}];
check('each monitor shows its own surface, at its corner',
    same(Rules.clonesFor(first, each), [{id: 1, x: 0, y: 0, width: 1280, height: 720}]) &&
    same(Rules.clonesFor(second, each), [{id: 2, x: 0, y: 0, width: 1024, height: 768}]));
const span = [{id: 3, rect: {x: 0, y: 0, width: 2304, height: 768}}];
check('a canvas spanning both is shown on each, shifted by the monitor\'s position',
    same(Rules.clonesFor(second, span), [{id: 3, x: -1280, y: 0, width: 2304, height: 768}]));
check('a surface that only touches a monitor\'s edge is not shown there',
    same(Rules.clonesFor(second, [{id: 1, rect: first}]), []));
check('a surface without a placement is not shown', same(Rules.clonesFor(first, [{id: 5, rect: null}]), []));

// ---- what covers a monitor -------------------------------------------------------
const win = (monitor, more) => ({monitor, onActiveWorkspace: true, minimized: false,
    fullscreen: false, maximized: false, ...more});
const open = {overview: false, locked: false, blanked: false};
check('a fullscreen window covers its monitor only',
    same(Rules.coveredMonitors(2, [win(1, {fullscreen: true})], open), [false, true]));
check('so does a maximised one',
    same(Rules.coveredMonitors(2, [win(0, {maximized: true})], open), [true, false]));
check('an ordinary window covers nothing', same(Rules.coveredMonitors(2, [win(0)], open), [false, false]));
check('nor one on another workspace, or minimised',
    same(Rules.coveredMonitors(2, [win(0, {fullscreen: true, onActiveWorkspace: false}),
        win(1, {maximized: true, minimized: true})], open), [false, false]));
check('the open overview shows the wallpaper everywhere',
    same(Rules.coveredMonitors(2, [win(0, {fullscreen: true})], {...open, overview: true}), [false, false]));
check('the lock screen hides it everywhere', same(Rules.coveredMonitors(2, [], {...open, locked: true}), [true, true]));
check('and so does a blanked screen', same(Rules.coveredMonitors(2, [], {...open, blanked: true}), [true, true]));
check('a window on a monitor that is gone is ignored',
    same(Rules.coveredMonitors(1, [win(3, {fullscreen: true}), win(-1, {fullscreen: true})], open), [false]));

// ---- every file parses ---------------------------------------------------------------
if (flavour === 'legacy') {
    for (const name of files) {
        let error = null;
        try {
            // A script's syntax, without running it (it needs the Shell).
            new Function(read(`${dir}/${name}`));
        } catch (e) {
            error = e;
        }
        check(`${name} parses as a GNOME 43 script`, error === null, String(error));
    }
} else {
    // The Shell's modules and the typelibs replaced by stand-ins, so that
    // each module links and runs its top level here.
    const stage = GLib.dir_make_tmp('lumivo-esm-XXXXXX');
    const stub = `${stage}/stub.js`;
    GLib.file_set_contents(stub, 'export default {};\nexport class Extension { constructor(metadata) { this.metadata = metadata; } }\n');
    for (const name of files) {
        const text = read(`${dir}/${name}`).replace(/from '(gi:\/\/\w+|resource:\/\/\/[^']+)'/g, "from './stub.js'");
        check(`${name} has no legacy imports left`, !/\bimports\./.test(read(`${dir}/${name}`)));
        GLib.file_set_contents(`${stage}/${name}`, text);
    }
    for (const name of files) {
        let error = null;
        try {
            await import(`file://${stage}/${name}`);
        } catch (e) {
            error = e;
        }
        check(`${name} loads as a GNOME 45 module`, error === null, String(error));
    }
    const entry = await import(`file://${stage}/extension.js`);
    const Stub = await import(`file://${stub}`);
    check('its default export is the Shell\'s Extension with enable and disable',
        entry.default?.prototype instanceof Stub.Extension &&
        typeof entry.default.prototype.enable === 'function' &&
        typeof entry.default.prototype.disable === 'function');
    const metadata = JSON.parse(read(`${dir}/metadata.json`));
    check('its metadata declares GNOME 45 to 47', same(metadata['shell-version'], ['45', '46', '47']));
    for (const name of [...files, 'stub.js'])
        GLib.unlink(`${stage}/${name}`);
    GLib.rmdir(stage);
}
System.exit(failed ? 1 : 0);
