#!/usr/bin/env bash
# Renders every page and window of the panel to PNG files, on the simulated
# board, in a fresh demo home (every page shown; your own settings untouched);
# then, in another fresh home, every page again in English (page-NAME-en.png
# beside page-NAME.png, for the manual's English half).
#   scripts/screenshots.sh BUILD_DIR OUT_DIR
# With --manual as a third word, also copies the pictures the manual shows
# (every images/NAME.png that docs/manual/*.html names) into docs/manual/images.
set -euo pipefail

build="${1:?usage: screenshots.sh BUILD_DIR OUT_DIR [--manual]}"
out="${2:?usage: screenshots.sh BUILD_DIR OUT_DIR [--manual]}"
top="$(cd "$(dirname "$0")/.." && pwd)"
tool="$build/bin/panel_screenshots"
[ -x "$tool" ] || { echo "screenshots: $tool is not built (make build)" >&2; exit 2; }

# A home of its own for each run (the pictures show the log folder in it), so
# runs side by side never meet, and the English run starts from the settings
# the Japanese one started from.
homes=()
trap 'rm -rf "${homes[@]}"' EXIT
# shoot [panel_screenshots options]: one run in a fresh home.
shoot() {
    local home
    home="$(mktemp -d "${TMPDIR:-/tmp}/home.XXXXXX")"
    homes+=("$home")
    mkdir -p "$home/.config" "$home/.local/share" "$home/runtime" && chmod 700 "$home/runtime"
    # The documents folder, where the first-hour pictures name their files,
    # with the example script the walkthrough copies there.
    mkdir -p "$home/Documents" && cp "$top/examples/selftest.tcl" "$home/Documents/"
    bash "$top/scripts/demo-settings.sh" "$home/demo" >/dev/null
    mv "$home/demo/config/Ardenfield" "$home/.config/" && rm -rf "$home/demo"
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        QT_QPA_PLATFORM=offscreen QUILLON_DIALOGS=stderr "$tool" "$out" "$@" --board sim \
        >"$home/shots.log" 2>&1 ||
        { echo "screenshots: panel_screenshots $* failed:" >&2; cat "$home/shots.log" >&2; exit 1; }
}
# Only the pictures of an earlier run go: OUT may be a folder that holds more.
mkdir -p "$out" && rm -f "$out"/*.png
out="$(cd "$out" && pwd)"  # the panel works in its log folder
shoot
shoot --lang en
echo "screenshots: $(ls "$out"/*.png | wc -l) pictures in $out"
[ "${3:-}" = "--manual" ] || exit 0

images="$top/docs/manual/images"
mkdir -p "$images"
missing=0
for name in $(grep -oh 'src="images/[^"]*\.png"' "$top"/docs/manual/*.html | sed 's/src="images\///; s/"$//' | sort -u); do
    if [ -f "$out/$name" ]; then
        cp "$out/$name" "$images/$name"
    else
        echo "screenshots: the manual shows images/$name, which panel_screenshots does not make" >&2
        missing=1
    fi
done
echo "screenshots: the manual's pictures updated in $images"
exit $missing
