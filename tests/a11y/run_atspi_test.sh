#!/usr/bin/env bash
# The panel as an outside accessibility client sees it (see README.md here):
# Xvfb, a private D-Bus session with the AT-SPI bus and registry, the panel on
# the simulated board with its accessibility bridge on, and atspi_client.py.
# Then a second panel on a board paced at USB 2 speed, for the long-work checks.
#   run_atspi_test.sh BUILD_DIR [CLIENT ARGS...]
# QUILLON_ATSPI_SCREEN=WxH sets the X screen (default 1280x1024);
# QUILLON_ATSPI_SHOTS=DIR keeps screenshots of the long work there.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
    build=$(cd "${1:?usage: run_atspi_test.sh BUILD_DIR}" && pwd)
    shift
    exec xvfb-run -a -s "-screen 0 ${QUILLON_ATSPI_SCREEN:-1280x1024}x24" \
        dbus-run-session -- bash "$0" --inside "$build" "$@"
fi
build=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

pids=()
home=$(mktemp -d)
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT
# The accessibility bus puts its socket under the runtime folder (or the
# home's cache): both in the scratch home, so runs side by side never share one.
mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
export HOME="$home" XDG_RUNTIME_DIR="$home/runtime"

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
# The registry joins the accessibility bus once the launcher announced it.
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 || { echo "atspi test: the accessibility bus did not start" >&2; exit 1; }
/usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
pids+=($!)

# Every page shown, in a home of its own.
bash "$top/scripts/demo-settings.sh" "$home" >/dev/null
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
# Questions are answered (OK, No, cancelled) without a box: the client presses
# every button, and a modal box would wait for a click no one makes.
panel=""
start_panel() {
    QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QUILLON_DIALOGS=stderr \
        "$build/bin/quillon" --board sim "$@" >>"$home/panel.out" 2>&1 &
    panel=$!
    pids+=($panel)
}
panel_still_there() {
    kill -0 "$panel" 2>/dev/null && return 0
    echo "atspi test: the panel ended early:" >&2
    cat "$home/panel.out" >&2
    return 1
}

start_panel
status=0
/usr/bin/python3 "$here/atspi_client.py" --log-folder "$home/data/Quillon7" \
    --panel "$build/bin/quillon" --scratch "$home" "$@" || status=$?
panel_still_there || status=1
[ $status -eq 0 ] || exit $status

# Long work on a board as slow as a real one on USB 2, with the wire trace:
# the panel of the checks above leaves first (one panel per user at a time).
kill "$panel" && wait "$panel" 2>/dev/null || true
mkdir -p "$home/work"
echo "link_speed = usb2" >"$home/work/usb2.profile"
start_panel --sim-profile "$home/work/usb2.profile" --trace "$home/work/trace.txt"
shots=()
[ -n "${QUILLON_ATSPI_SHOTS:-}" ] && shots=(--shots "$QUILLON_ATSPI_SHOTS")
/usr/bin/python3 "$here/atspi_client.py" --log-folder "$home/data/Quillon7" \
    --scenario long-work --work-folder "$home/work" --trace "$home/work/trace.txt" \
    "${shots[@]}" || status=$?
panel_still_there || status=1
exit $status
