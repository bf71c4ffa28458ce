#!/usr/bin/python3
"""Writes the GNOME 45+ flavour of the Lumivo Wallpaper extension from its
GNOME 43-44 source, as a `gnome-extensions pack` zip.

GNOME 45 loads extensions as ES modules: imports become `import`
declarations, what a file shares is exported, and the entry point is the
default export, a subclass of the Shell's Extension. The source is written so
that this is a line-by-line rewrite; anything the rewrite does not know
stops it, so that no legacy code ships in the zip.

  gnome-extension-esm.py SOURCE_DIR OUTPUT_DIR ZIP
OUTPUT_DIR gets the rewritten files (for the tests), ZIP the package.
"""
import json
import re
import sys
import zipfile
from pathlib import Path

SHELL = "resource:///org/gnome/shell"
VERSIONS = ["45", "46", "47"]

ENTRY_LEGACY = re.compile(r"^function init\(\) \{\n    return new (\w+)\(\);\n\}\n", re.M)
ENTRY_MODULE = """import {{Extension}} from '{shell}/extensions/extension.js';

export default class LumivoWallpaperExtension extends Extension {{
    enable() {{
        this._wallpaper = new {name}();
        this._wallpaper.enable();
    }}

    disable() {{
        this._wallpaper.disable();
        this._wallpaper = null;
    }}
}}
"""


def rewrite_line(line, source):
    if m := re.fullmatch(r"const \{([\w, ]+)\} = imports\.gi;", line):
        return "\n".join(f"import {name} from 'gi://{name}';"
                         for name in m.group(1).replace(" ", "").split(","))
    if m := re.fullmatch(r"const (\w+) = imports\.(ui|misc)\.(\w+);", line):
        return f"import * as {m.group(1)} from '{SHELL}/{m.group(2)}/{m.group(3)}.js';"
    if line == "const Me = imports.misc.extensionUtils.getCurrentExtension();":
        return None
    if m := re.fullmatch(r"const (\w+) = Me\.imports\.(\w+);", line):
        return f"import * as {m.group(1)} from './{m.group(2)}.js';"
    if re.match(r"(var|function) ", line):
        return "export " + line
    if "imports." in line:
        sys.exit(f"{source}: cannot rewrite: {line}")
    return line


def rewrite(text, source):
    entry = ENTRY_LEGACY.search(text)
    if entry:
        text = text[:entry.start()] + ENTRY_MODULE.format(shell=SHELL, name=entry.group(1)) + \
            text[entry.end():]
    elif source == "extension.js":
        sys.exit("extension.js: no entry point init() found")
    lines = (rewrite_line(line, source) for line in text.split("\n"))
    return "\n".join(line for line in lines if line is not None)


def main(source_dir, output_dir, zip_path):
    source_dir, output_dir = Path(source_dir), Path(output_dir)
    output_dir.mkdir(parents=True, exist_ok=True)
    metadata = json.loads((source_dir / "metadata.json").read_text())
    metadata["shell-version"] = VERSIONS
    files = {"metadata.json": json.dumps(metadata, indent=2) + "\n"}
    for script in sorted(source_dir.glob("*.js")):
        files[script.name] = rewrite(script.read_text(), script.name)
    with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in files.items():
            (output_dir / name).write_text(text)
            archive.writestr(name, text)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
