#!/bin/bash
# Regenerates the pictures in docs/: the real mirelle.exe, under Wine on a
# virtual display, with its Set Keys dialog (and the question a letter key
# brings up) and its About dialog, and its main window at 150 % scaling.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64 >/dev/null
build="$MIRELLE_ROOT/build/x64"
shots="$build/screenshots"
rm -rf "$shots"
mkdir -p "$shots" "$MIRELLE_ROOT/docs"
# A prefix of its own, so the pictures never show settings left by tests.
WINEPREFIX="$build/wineprefix-shots" "$MIRELLE_ROOT/scripts/wine-run-x11" \
    "$build/tests/screenshot_driver.exe" --mirelle="$build/mirelle.exe" --out="$shots"
for name in main-window main-window-150 set-keys about; do
    convert "$shots/$name.bmp" -strip "$MIRELLE_ROOT/docs/$name.png"
    echo "docs/$name.png"
done
