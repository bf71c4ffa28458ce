#!/usr/bin/env bash
# The Debian package as a packager makes it, checked as Debian would check it.
# The source tree is configured afresh with the README's options only (so no
# project root and no LUMIVO_WERROR; the tests and benchmarks, which install
# nothing, are left out to save time), built, and packed by `cpack -G DEB`.
# Then:
#   - lintian (default profile) reports no error, no warning and none of its
#     hardening tags (PIE, RELRO, BIND_NOW, FORTIFY);
#   - `appstreamcli validate --pedantic` and `desktop-file-validate` find
#     nothing to remark in the AppStream metadata and the desktop entries;
#   - no file of the package (compressed ones unpacked, link targets too)
#     names the source tree or a build tree: a compiled-in checkout, __FILE__,
#     debug information or an RPATH would;
#   - the changelog and the AppStream metadata name the package's version;
#   - the packaged programs run from the unpacked tree.
#
#   check-deb.sh SOURCE_DIR WORK_DIR [OTHER_BUILD_DIR...]
# WORK_DIR/build keeps the packager's build between runs, configured afresh
# each time; OTHER_BUILD_DIRs are build trees whose paths must not show up
# either. Environment: LUMIVO_JOBS (parallel build jobs, default 2).
SOURCE=$(realpath "$1")
WORK=$(realpath -m "$2")
OTHERS=("${@:3}")
source "$(dirname "$0")/../e2e/lib.sh"
export E2E_CHECK_TIMEOUT=${E2E_CHECK_TIMEOUT:-600}

BUILD=$WORK/build
mkdir -p "$WORK"
echo "check-deb: building the package in $BUILD (log: $WORK/build.log)"
if ! {
    cmake --fresh -S "$SOURCE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DLUMIVO_BUILD_TESTS=OFF -DLUMIVO_BUILD_BENCH=OFF &&
        cmake --build "$BUILD" -j"${LUMIVO_JOBS:-2}" &&
        rm -f "$BUILD"/*.deb &&
        (cd "$BUILD" && cpack -G DEB)
} >"$WORK/build.log" 2>&1; then
    tail -n 40 "$WORK/build.log"
    echo "check-deb: the package did not build"
    exit 1
fi
DEB=$(echo "$BUILD"/lumivo-helper_*.deb)
ROOT=$E2E_TMP/root
CONTROL=$E2E_TMP/control
dpkg-deb -x "$DEB" "$ROOT" && dpkg-deb -e "$DEB" "$CONTROL" || exit 1
VERSION=$(dpkg-deb -f "$DEB" Version)
DOC=$ROOT/usr/share/doc/lumivo-helper
echo "check-deb: $(basename "$DEB")"

# ---- Debian's own checks -------------------------------------------------
lintian_accepts() {
    local out status
    out=$(lintian --display-info --fail-on error,warning "$DEB" 2>&1)
    status=$?
    echo "$out"
    [ "$status" -eq 0 ] && ! grep -q 'hardening-no-' <<<"$out"
}
# appstreamcli passes metadata with remarks of every level but errors and
# warnings; none is let through but the one on the id's capitals, which must
# stay as they are to match the desktop entry and the D-Bus name.
metainfo_valid() {
    local file=$ROOT/usr/share/metainfo/app.lumivo.Helper.metainfo.xml out
    [ -f "$file" ] || return 1
    out=$(appstreamcli validate --pedantic --no-net "$file" 2>&1) || { echo "$out"; return 1; }
    echo "$out"
    ! grep -E '^[EWIP]: ' <<<"$out" | grep -v '^P: app.lumivo.Helper:[0-9]*: cid-contains-uppercase-letter'
}
desktop_entries_valid() {
    local entry out status=0
    for entry in "$ROOT"/usr/share/applications/*.desktop; do
        out=$(desktop-file-validate "$entry" 2>&1) || status=1
        [ -z "$out" ] || { echo "$out"; status=1; }
    done
    return "$status"
}
verify "lintian finds no error or warning" lintian_accepts
verify "the AppStream metadata is valid" metainfo_valid
verify "the desktop entries are valid" desktop_entries_valid

# ---- Nothing of the build machine ----------------------------------------
# A tree's path counts where it stands alone: not inside a longer name
# (/usr/src holds no "/src"), but followed by "/" or the end of the string.
trees=()
for tree in "$SOURCE" "$BUILD" "$WORK" "${OTHERS[@]}"; do
    trees+=("$tree" "$(realpath -m "$tree")")
done
PATTERN="(?<![\\w./-])(?:$(printf '\\Q%s\\E|' "${trees[@]}" | sed 's/|$//'))(?![\\w.-])"
contents() { if [[ $1 == *.gz ]]; then zcat -- "$1"; else cat -- "$1"; fi; }
# names_no_tree: every file's contents, unpacked where gzip-compressed, and
# every link's target; prints up to three paths found in each file.
names_no_tree() {
    local file found leaks=0
    while IFS= read -r -d '' file; do
        found=$(contents "$file" | LC_ALL=C grep -aoP "${PATTERN}[^\\x00\\s\"]*" |
            sort -u | head -n 3 | tr '\n' ' ')
        if [ -n "$found" ]; then
            echo "${file#"$E2E_TMP"/}: $found"
            leaks=1
        fi
    done < <(find "$ROOT" "$CONTROL" -type f -print0)
    while IFS= read -r -d '' file; do
        if readlink -- "$file" | LC_ALL=C grep -qP "$PATTERN"; then
            echo "${file#"$E2E_TMP"/} -> $(readlink -- "$file")"
            leaks=1
        fi
    done < <(find "$ROOT" -type l -print0)
    return "$leaks"
}
verify "no file names the source or a build tree" names_no_tree

# ---- Versions and programs -----------------------------------------------
changelog_version() {
    zcat "$DOC/changelog.gz" >"$E2E_TMP/changelog" &&
        [ "$(dpkg-parsechangelog -l "$E2E_TMP/changelog" -S Version)" = "$VERSION" ]
}
metainfo_version() {
    local newest
    newest=$(grep -o '<release version="[^"]*"' \
        "$ROOT/usr/share/metainfo/app.lumivo.Helper.metainfo.xml" | head -n 1)
    echo "newest release: $newest, package: $VERSION"
    [ "$newest" = "<release version=\"$VERSION\"" ]
}
programs_run() {
    [ "$("$ROOT/usr/bin/lumivo" --version)" = "lumivo $VERSION" ] &&
        [ "$("$ROOT/usr/bin/lumivo-helper" --version)" = "lumivo-helper $VERSION" ] &&
        [ "$("$ROOT/usr/libexec/lumivo-helper-app" --version)" = "lumivo-helper $VERSION" ]
}
verify "the changelog's newest entry is the package's version" changelog_version
verify "the AppStream metadata's newest release is the package's version" metainfo_version
verify "the packaged programs run" programs_run
e2e_finish
