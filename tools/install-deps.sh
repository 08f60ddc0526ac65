#!/usr/bin/env bash
# Installs the Debian packages Orvane builds, runs and tests with; only the missing ones.
set -euo pipefail
packages=(
    cmake ninja-build g++ clang pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-pdf-dev qt6-image-formats-plugins
    qt6-qpa-plugins libplist-dev libsqlite3-dev nlohmann-json3-dev
    fonts-material-design-icons-iconfont adwaita-icon-theme shared-mime-info attr xvfb xdotool x11-utils imagemagick python3
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
