#!/usr/bin/env bash
# Installs Orvane as a user would, with `cmake --install` and with the Debian package, and
# checks what lands: the entries are valid, and the installed binary answers --version and
# --help without a display.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_tree() {
    local root=$1
    local share=$root/usr/share
    [ -x "$root/usr/bin/orvane" ] || fail "no binary in $root"
    desktop-file-validate "$share/applications/org.orvane.Orvane.desktop"
    appstreamcli validate --no-net "$share/metainfo/org.orvane.Orvane.metainfo.xml"
    local icon=$share/icons/hicolor/scalable/apps/org.orvane.Orvane.svg
    # A square, well-formed SVG, as the hicolor theme's scalable folder wants.
    python3 - "$icon" <<'PY' || fail "icon is not a square SVG"
import sys, xml.etree.ElementTree as tree
root = tree.parse(sys.argv[1]).getroot()
assert root.tag.endswith("svg") and root.get("viewBox") == "0 0 128 128"
PY
    # The file managers' actions run orvane on the selected files.
    grep -q "^Exec=orvane --tag-dialog %F" "$share/kio/servicemenus/org.orvane.Orvane.servicemenu.desktop" ||
        fail "no Dolphin service menu"
    grep -q "^Exec=orvane --tag-dialog %F" "$share/nemo/actions/org.orvane.Orvane.nemo_action" ||
        fail "no Nemo action"
    local script="$share/orvane/nautilus-scripts/Tag with Orvane…"
    [ -x "$script" ] || fail "no GNOME Files script"
    mkdir -p "$work/bin" && printf '#!/bin/sh\nprintf "%%s|" "$@" > "%s/args"\n' "$work" > "$work/bin/orvane"
    chmod +x "$work/bin/orvane"
    PATH="$work/bin:$PATH" NAUTILUS_SCRIPT_SELECTED_FILE_PATHS="$(printf '/a b/c\n/d\n')" "$script"
    [ "$(cat "$work/args")" = "--tag-dialog|/a b/c|/d|" ] || fail "script passed $(cat "$work/args")"
    local version help
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/orvane" --version)
    [ "$version" = "Orvane 0.1.0" ] || fail "--version said: $version"
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/orvane" --help)
    grep -q -- "--version" <<<"$help" || fail "--help said: $help"
}

# cmake --install with a prefix.
cmake --install "$build" --prefix "$work/installed/usr" >/dev/null
check_tree "$work/installed"

# The Debian package: its dependencies are Debian's runtime packages, and it unpacks and runs.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/orvane_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6core6 libplist3 libsqlite3-0 qt6-qpa-plugins libqt6svg6; do
    grep -q "\b$package\b" <<<"$depends" || fail "$package missing from Depends: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "xdg-utils" ] || fail "xdg-utils not recommended"
dpkg-deb -f "$deb" Description | sed -n 2p | grep -q "hierarchy" || fail "no extended description"
dpkg -x "$deb" "$work/unpacked"
check_tree "$work/unpacked"
[ "$(find "$work/unpacked" -type f | wc -l)" -eq 10 ] || fail "unexpected files in the package"
grep -q "^License: MIT" "$work/unpacked/usr/share/doc/orvane/copyright" || fail "no licence"
gzip -t "$work/unpacked/usr/share/doc/orvane/changelog.Debian.gz" || fail "changelog not gzip"
# What a distribution would check first; lintian is optional where it cannot be installed.
if command -v lintian >/dev/null; then
    errors=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep '^E:' || true)
    [ -z "$errors" ] || fail "lintian: $errors"
fi
echo "install and package: ok"
