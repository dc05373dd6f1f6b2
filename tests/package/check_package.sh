#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch
# root (nothing on this machine changes) and checks it the way a user's
# system would use it:
#   - the installed quillon-run runs the example self-test on the simulated
#     board, and both programs find the manual where the package put it;
#   - Debian's python3 imports the installed module and reaches the
#     simulated board through it, printing nothing;
#   - the desktop entry, the AppStream metainfo and the manual pages validate;
#   - the dependencies came from dpkg-shlibdeps; lintian finds no error.
#   check_package.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: check_package.sh BUILD_DIR}" && pwd)
work="$build/package-check"
rm -rf "$work"
mkdir -p "$work/out" "$work/home" "$work/run"
root="$work/root"

fail() {
    echo "package check: $*" >&2
    exit 1
}

(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/quillon_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no package in $work/out"
dpkg-deb -x "$deb" "$root"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Dependencies found by dpkg-shlibdeps, beside the two named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libusb-1.0-0 libtcl8.6 libqt6widgets6 libqt6charts6 qt6-translations-l10n; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# The installed programs, on the simulated board, in a home of their own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
unset XDG_RUNTIME_DIR
bin="$root/usr/bin"
"$bin/quillon" --version | grep -qx "quillon [0-9.]*" || fail "quillon --version"
"$bin/quillon" --help | grep -qx "Manual: $root/usr/share/quillon/manual/index.html" ||
    fail "quillon does not find its installed manual"
"$bin/quillon-run" --help | grep -qx "Manual: $root/usr/share/quillon/manual/scripting.html" ||
    fail "quillon-run does not find its installed manual"
[ -f "$root/usr/share/quillon/manual/index.html" ] || fail "manual not installed"
# The bridge designs: the user's folder first, then the package's.
"$bin/quillon" --help | grep -q "first found wins: $XDG_DATA_HOME/Quillon7/Flash, $root/usr/share/quillon/Flash\$" ||
    fail "quillon does not look for the bridge designs where the package put them"
ls "$root/usr/share/quillon/Flash/"*.rbf >/dev/null || fail "no bridge designs installed"
(cd "$work/run" && "$bin/quillon-run" --board sim \
    "$root/usr/share/doc/quillon/examples/selftest.tcl" >"$work/selftest.log" 2>&1) ||
    { cat "$work/selftest.log" >&2; fail "installed quillon-run: self-test failed"; }
grep -q "USB OPEN!!" "$work/selftest.log" || fail "self-test did not open the board"

# The Python module in Debian's path, for Debian's python3 (the version it
# was built for): it imports from the unpacked tree, makes a round trip on the
# simulated board and prints nothing of its own, not even when a call fails.
python_version=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
[[ "$depends" == *"python3 (>= $python_version~)"* ]] ||
    fail "Depends lacks python3 $python_version: $depends"
suggests=$(dpkg-deb -f "$deb" Suggests)
for p in python3-numpy python3-pytest python3-pytest-xdist; do
    [[ "$suggests" == *"$p"* ]] || fail "Suggests lacks $p: $suggests"
done
pydir="$root/usr/lib/python3/dist-packages"
ls "$pydir"/quillon/_quillon.cpython-*.so >/dev/null || fail "Python module not installed"
(cd "$work/run" && PYTHONPATH="$pydir" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$pydir" <<'EOF'
import sys
import quillon
assert quillon.__file__.startswith(sys.argv[1]), quillon.__file__
with quillon.open("sim") as board:
    board.reg_write(0x10, 0x12345678)
    assert board.reg_read(0x10) == 0x12345678
    board.mem_write(bytes(range(256)) * 4)
    assert board.mem_read(1024) == bytes(range(256)) * 4
    board.sim.set_faults(stall_bulk=1)
    try:
        board.mem_write(bytes(512))
    except quillon.BoardError:
        pass
import quillon.pytest_plugin
EOF
) >"$work/python.log" 2>&1 || { cat "$work/python.log" >&2; fail "installed Python module"; }
[ ! -s "$work/python.log" ] || { cat "$work/python.log" >&2; fail "the Python module printed"; }

# The udev rule where udev reads it, giving the seat's user the boards.
rule="$root/usr/lib/udev/rules.d/70-quillon.rules"
grep -q 'TAG+="uaccess"' "$rule" || fail "udev rule without uaccess"

# Desktop entry, metainfo, manual pages.
id=com.ardenfield.quillon
desktop-file-validate "$root/usr/share/applications/$id.desktop"
grep -q "^Name\[ja\]=" "$root/usr/share/applications/$id.desktop" || fail "no Japanese name"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$id.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "metainfo"; }
for page in quillon quillon-run; do
    file="$root/usr/share/man/man1/$page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$file" | grep -q "EXIT STATUS" ||
        fail "man $page has no EXIT STATUS"
done

# Lintian: errors fail; the rest is shown.
lintian --allow-root --fail-on error "$deb" |
    tee "$work/lintian.log"
echo "package check: all good"
