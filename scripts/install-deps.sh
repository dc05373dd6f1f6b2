#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quillon Panel needs.
# Idempotent: prints nothing when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev
    libusb-1.0-0-dev tcl8.6-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    umockdev libumockdev-dev
    xvfb xauth fonts-ipafont-gothic fontconfig
    clang libclang-rt-14-dev
    qt6-translations-l10n qt6-l10n-tools
    dpkg-dev lintian desktop-file-utils appstream man-db
    dbus-daemon at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    pybind11-dev python3-dev python3-pytest python3-pytest-xdist python3-numpy tshark
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
