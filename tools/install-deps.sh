#!/usr/bin/env bash
# Installs the Debian packages Orvane builds, runs and tests with; only the missing ones.
set -euo pipefail
packages=(
    cmake ninja-build g++ clang pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-pdf-dev qt6-image-formats-plugins
    qt6-qpa-plugins libplist-dev libsqlite3-dev nlohmann-json3-dev
    fonts-material-design-icons-iconfont adwaita-icon-theme shared-mime-info attr dbus-daemon xvfb xauth xdotool x11-utils imagemagick python3 desktop-file-utils appstream dpkg-dev
)
# KDE's tag library, the other program in the interop test, and lintian for the package; the
# tests skip what they need without them, so a failure to install them does not stop the rest.
optional=(libkf5filemetadata-dev qtbase5-dev lintian)
absent() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}
mapfile -t missing < <(absent "${packages[@]}")
mapfile -t missingOptional < <(absent "${optional[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missingOptional[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ ${#missingOptional[@]} -gt 0 ]; then
    echo "Installing: ${missingOptional[*]}"
    for p in "${missingOptional[@]}"; do
        $sudo apt-get install -y -q --no-install-recommends "$p" ||
            echo "Not installed: $p; the tests that use it will skip"
    done
fi
